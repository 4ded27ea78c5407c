"""The exact report bodies a scenario expects: the members in their fixed
order, no white space, strings escaped as the installer's JSON printer does."""
import re

from .services import cafe_fields

IDENTITY = ["b_guid", "b_channelid", "b_mac", "b_icafe_guid", "b_charge_type", "b_charge_id",
            "b_manage_type", "b_manage_id"]
RUN_ID = re.compile(r"[0-9a-f]{8}0000[0-9a-f]{4}0000[0-9a-f]{12}")
FIRST_EVENT = "check  environment"


def quote(text):
    out = ['"']
    for ch in text:
        code = ord(ch)
        if ch == '"':
            out.append('\\"')
        elif ch == "\\":
            out.append("\\\\")
        elif ch in "\b\f\n\r\t":
            out.append({"\b": "\\b", "\f": "\\f", "\n": "\\n", "\r": "\\r", "\t": "\\t"}[ch])
        elif code < 32:
            out.append(f"\\u{code:04x}")
        else:
            out.append(ch)
    out.append('"')
    return "".join(out)


def body(fields, event):
    event_type, event_ret, event_from, msg = event
    members = [f"{quote(n)}:{quote(fields.get(n, ''))}" for n in IDENTITY]
    members += [f'"event_type":{event_type}', f'"event_ret":{event_ret}',
                f'"event_from":{event_from}', f'"event_msg":{quote(msg)}']
    return "{" + ",".join(members) + "}"


def new_run_positions(entries):
    """Indexes of the entries that begin another installer run ({new_run = true})."""
    return [i for i, e in enumerate(entries) if isinstance(e, dict) and e.get("new_run")]


def expected_bodies(cfg, sc, entries, run_ids, mac):
    """Bodies for the scenario's report list. Reports up to the first
    "check  environment" go out before the client-version request and carry no
    channel or cafe values; later ones carry both. An entry may say otherwise:
    {event = [...], channel = "...", cafe = false}. An entry with new_run = true
    is the first report of another run of the installer: it and the rest carry
    the next identifier of run_ids (one per run; a lone string for one run)."""
    if isinstance(run_ids, str):
        run_ids = [run_ids]
    out = []
    seen_first = False
    run = 0
    for entry in entries:
        if isinstance(entry, dict):
            event, overrides = entry["event"], entry
        else:
            event, overrides = entry, {}
        if overrides.get("new_run") and out:
            run += 1
            seen_first = False
        run_id = run_ids[min(run, len(run_ids) - 1)]
        before_request = not seen_first
        if event[3] == FIRST_EVENT:
            seen_first = True
        fields = {"b_guid": run_id, "b_mac": mac}
        if not before_request:
            fields["b_channelid"] = cfg.channel
            fields.update(cafe_fields(sc))
        if "channel" in overrides:
            fields["b_channelid"] = overrides["channel"]
        if overrides.get("cafe") is False:
            for n in IDENTITY[3:]:
                fields.pop(n, None)
        out.append(body(fields, event))
    return out
