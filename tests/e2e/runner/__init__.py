"""The host side of the end-to-end scenarios: scenario files, the namespace
stage, and the comparison of what a run left with what the scenario expects."""
