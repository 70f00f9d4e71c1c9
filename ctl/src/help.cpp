#include "help.h"

#include "verbs.h"

#include "zephlor_host/driver_module.h"
#include "zephlor_io/platform_facts.h"
#include "zephlor_io/serial_port.h"
#include "zephlor_facts/exit_codes.h"
#include "zephlor_text/help_rows.h"
#include "zephlor_facts/item_catalogue.h"

namespace zephlor::ctl {

std::string helpText() {
  const io::PlatformFacts& platform = io::platformFacts();
  const std::string device = platform.serialDevice;
  return R"(Usage: zephlorctl [OPTIONS] COMMAND [ARGUMENTS]

Talks to a Zephlor controller through the osterfell driver plug-in, exactly as the host
application does: for every transaction Set_xxx builds the request line, the line is sent, the
reply is collected up to its line end or the timeout, then Check_xxx and Get_xxx judge and parse
it. zephlorctl never calls the codec directly.

)" + verbsHelp() +
         R"(
Items: a kind followed by its address numbers (each 0 to 255):
)" + facts::itemCatalogueHelp() +
         R"(
The line:
)" +
         text::helpRow("-d, --device PATH",
                       std::string("serial device of the controller line (") +
                           platform.serialDeviceAbout +
                           "), opened raw 8N1 for zephlorctl alone and given back with "
                           "its settings on exit; or a serial device server on the "
                           "network: tcp:HOST:PORT (or socket://HOST:PORT) for its raw "
                           "TCP port, whose connection carries the line's bytes, or "
                           "rfc2217:HOST:PORT (or rfc2217://HOST:PORT) for its telnet "
                           "port with the COM-PORT-OPTION of RFC 2217, which also "
                           "takes --baud; connected and set up within --timeout, every "
                           "address of HOST tried in turn, PORT 1 to 65535",
                       28) +
         text::helpRow("-b, --baud N",
                       io::supportedBauds() +
                           " (default 9600); not with tcp:, whose speed the device server sets",
                       28) +
         R"(  -t, --timeout MS          how long to wait for a reply, and for the line to take a request
                            (default 1000)
  --sim                     talk to the built-in controller simulator instead of a device
                            (not with --device)
  --sim-firmware-version X.Y, --sim-firmware-date A/B/C
                            what the simulator reports as its firmware (default 1.0, 12/8/26)
  --sim-fault KIND[:P]      let the simulator's replies suffer KIND with probability P
                            (default 1); repeatable. KIND: drop, garble, delay, wrong-address,
                            wrong-value, split
  --sim-delay-ms MS         how long a delayed reply is held back (default 1500)
  --sim-seed N              seed for drawing the faults (default 1)
  -r, --retries N           try a transaction up to N more times after a missing or garbled
                            reply: none, incomplete, too long, refused, for another item, or a
                            field that is not a number (default 0). Writes are repeated too,
                            since setting the same value twice does no harm; a write the
                            controller answered with another value is not tried again

Results:
  -f, --format text|csv|json
                            text for a person (default); csv: a header line, then a row per
                            sample: the time (ISO 8601 UTC), a column per item as typed, an
                            empty cell for a failed read and an errors column; json: JSON
                            Lines, one object per sample, {"time", "values", "errors"} (and
                            "warnings" with --lenient). For read, info, poll and run; a
                            script's own lines are not echoed
  -o, --output FILE         write the results to FILE, a line at a time; standard error keeps
                            the diagnostics. FILE is taken once the line is open, held for this
                            run alone (a second run on it: exit 11), and replaced only when the
                            first result is written, so a run that fails before it has one
                            leaves FILE as it was. It may not be the script being run
  --append                  with --output: add to FILE; a CSV header only into an empty file
  -q, --quiet               values alone (read: the value; write: the value sent; poll: the
                            time and the values), and no poll summary
  --lenient                 let a reply for another item, or with a field that is not wholly a
                            number, through to the driver with a warning (on standard error and
                            in the record: "warnings" in JSON, the errors column in CSV); by
                            default such a reply fails with exit 9 and records no value.
                            --strict names the default

Other:
)" +
         text::helpRow("--driver PATH",
                       std::string("the plug-in to load (default: ") + host::pluginFileName() +
                           " beside zephlorctl, or where it is installed); a bare file "
                           "name is one in the working directory",
                       28) +
         R"(  --trace                   show every line sent and received, CR and LF made visible, with
                            the time since the line was opened (on standard error)
  --version, -V             zephlorctl's version
  --help, -h                this text

Environment:
  ZEPHLOR_DEVICE, ZEPHLOR_BAUD, ZEPHLOR_TIMEOUT
                            defaults for --device, --baud and --timeout; the command line
                            overrides them. A wrong one is named by its variable, and stops
                            only commands that use the line

Exit status:
)" + facts::exitCodeHelp(facts::Tool::kZephlorctl, platform.stops) +
         R"(A poll or script ends with the status of its last failure; a failed line, unwritable results
or a stop end it at once.

Examples:
  zephlorctl --sim info
)" + "  zephlorctl --device " +
         device + " read station-level 1 2 3\n" + "  zephlorctl --device " + device +
         " --trace write thermostat 1 2 3 -5\n" + "  zephlorctl --device " + device +
         " poll led 1 2 3 switch 1 2 3 --interval 500 --count 10\n" +
         R"(  zephlorctl --device tcp:192.0.2.7:4001 --format csv --output levels.csv \
      poll station-level 1 2 3 --interval 1000
)";
}

}  // namespace zephlor::ctl
