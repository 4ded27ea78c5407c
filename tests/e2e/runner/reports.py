"""The exact report bodies a scenario expects: the members in their fixed
order, no white space, strings escaped as the installer's JSON printer does."""
import codecs
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


# The bytes the installer sends: the channel in code page 936, the cafe values
# as the cafe document's own (UTF-8) bytes, the rest ASCII.
SENT_AS = {"b_channelid": "gbk"}
CODECS = {936: "gbk", 1252: "cp1252", 65001: "utf-8"}
# Bytes that code page 1252 leaves undefined; Windows reads them as U+0081 ...
UNDEFINED_1252 = {0x81, 0x8D, 0x8F, 0x90, 0x9D}


def _as_services_read(keep):
    """vorn-services' reading of bytes the code page cannot decode: each becomes
    U+FFFD, except those in keep, which stand for the code point of their value."""
    def handler(error):
        bad = error.object[error.start:error.end]
        return "".join(chr(b) if b in keep else "\ufffd" for b in bad), error.end
    return handler


codecs.register_error("vorn-services", _as_services_read(set()))
codecs.register_error("vorn-services-1252", _as_services_read(UNDEFINED_1252))


def codec_of(codepage):
    """Python's codec for a Windows code page; ASCII when there is none."""
    name = CODECS.get(codepage, f"cp{codepage}")
    try:
        codecs.lookup(name)
    except LookupError:
        return "ascii"
    return name


def as_received(name, value, codepage):
    """A field as the report service shows it: the installer's bytes read in
    the run's ANSI code page (none given: the text as it is)."""
    if codepage is None:
        return value
    try:
        raw = value.encode(SENT_AS.get(name, "utf-8"))
    except UnicodeEncodeError:
        raw = b""  # a text the code page cannot hold goes out empty
    errors = "vorn-services-1252" if codepage == 1252 else "vorn-services"
    return raw.decode(codec_of(codepage), errors=errors)


def body(fields, event, codepage=None):
    event_type, event_ret, event_from, msg = event
    members = [f"{quote(n)}:{quote(as_received(n, fields.get(n, ''), codepage))}" for n in IDENTITY]
    members += [f'"event_type":{event_type}', f'"event_ret":{event_ret}',
                f'"event_from":{event_from}', f'"event_msg":{quote(msg)}']
    return "{" + ",".join(members) + "}"


def new_run_positions(entries):
    """Indexes of the entries that begin another installer run ({new_run = true})."""
    return [i for i, e in enumerate(entries) if isinstance(e, dict) and e.get("new_run")]


def expected_bodies(cfg, sc, entries, run_ids, mac, codepage=None):
    """Bodies for the scenario's report list. Reports up to the first
    "check  environment" go out before the client-version request and carry no
    channel or cafe values; later ones carry both. An entry may say otherwise:
    {event = [...], channel = "...", cafe = false}. An entry with new_run = true
    is the first report of another run of the installer: it and the rest carry
    the next identifier of run_ids (one per run; a lone string for one run).
    codepage: the run's ANSI code page, in which the services read the bodies."""
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
        out.append(body(fields, event, codepage))
    return out
