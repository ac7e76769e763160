// PAPPL 1.3.1 browses for network printers (the web page's "Add Printer",
// the "devices" command) with a DNS-SD client that is null when avahi-daemon
// cannot be reached, and avahi aborts the whole program on a null client.
// These two definitions stand before avahi's own, which PAPPL calls: a null
// client finds nothing, any other is avahi's. USB and typed device URIs are
// not affected. Linked into the program itself (printer-app/CMakeLists.txt).
// Tested by AppRobustTest.AddPrinterPageWorksWithoutAvahi.
#include <dlfcn.h>

extern "C" {

__attribute__((visibility("default"))) void* avahi_service_browser_new(
    void* client, int interface, int protocol, const char* type, const char* domain, int flags,
    void* callback, void* userdata) {
  if (client == nullptr) return nullptr;
  using Real = void* (*)(void*, int, int, const char*, const char*, int, void*, void*);
  static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "avahi_service_browser_new"));
  return real != nullptr
             ? real(client, interface, protocol, type, domain, flags, callback, userdata)
             : nullptr;
}

__attribute__((visibility("default"))) void* avahi_service_resolver_new(
    void* client, int interface, int protocol, const char* name, const char* type,
    const char* domain, int address_protocol, int flags, void* callback, void* userdata) {
  if (client == nullptr) return nullptr;
  using Real =
      void* (*)(void*, int, int, const char*, const char*, const char*, int, int, void*, void*);
  static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "avahi_service_resolver_new"));
  return real != nullptr ? real(client, interface, protocol, name, type, domain, address_protocol,
                                flags, callback, userdata)
                         : nullptr;
}

}  // extern "C"
