# The watch's events back from the journal: `journalctl -o json` (or a log
# shipper's journal input) gives one object per entry, the event's JSON line
# in MESSAGE; this gives the event, with the host it came from.
#   journalctl -o json -f -u 'varnock-watch@*' | jq -c -f varnock-events.jq
select(.SYSLOG_IDENTIFIER == "varnock-watch")
| (.MESSAGE | fromjson?) + {host: ._HOSTNAME}
