// A printer that the tests play, as the device scheme "zova-test". It exists
// only when the server starts with ZOVA_TEST_DEVICE_DIR naming a directory:
// no option, no page and no device list shows it otherwise.
//
// zova-test:///NAME is a printer made of files in that directory:
//   NAME.id     its IEEE-1284 device ID
//   NAME.state  what it is now: "ready", "media-empty", "offline", "error",
//               or "media-empty-after N" (runs out once it has taken N bytes)
//   NAME.out    every byte it took, appended
//   NAME.events "resumed-ms M": from its state file saying ready to the next
//               byte it took, after each stop
// While it is not ready it takes no data: a write waits, as on a USB printer.
#pragma once

namespace zova::app {

void AddTestDeviceScheme();

}  // namespace zova::app
