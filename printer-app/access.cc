#include "access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include "callback_guard.h"
#include "job_privacy.h"
#include "media_offsets.h"
#include "request_checks.h"

namespace zova::app {
namespace {

std::string password_path;

// IPP operations anyone may ask for: printing and one's jobs.
bool IsPrintOperation(ipp_op_t op) {
  switch (op) {
    case IPP_OP_PRINT_JOB:
    case IPP_OP_VALIDATE_JOB:
    case IPP_OP_CREATE_JOB:
    case IPP_OP_SEND_DOCUMENT:
    case IPP_OP_CLOSE_JOB:
    case IPP_OP_CANCEL_JOB:
    case IPP_OP_GET_JOBS:
    case IPP_OP_GET_JOB_ATTRIBUTES:
    case IPP_OP_HOLD_JOB:
    case IPP_OP_RELEASE_JOB:
      return true;
    default:
      return false;
  }
}

std::string Hash(const std::string& salt, const std::string& password) {
  const std::string text = salt + ":" + password;
  unsigned char hash[32];
  char hex[65];
  const ssize_t length = cupsHashData("sha2-256", text.data(), text.size(), hash, sizeof hash);
  return length > 0 ? cupsHashString(hash, static_cast<size_t>(length), hex, sizeof hex) : "";
}

// Compares without stopping at the first difference.
bool SameText(const std::string& a, const std::string& b) {
  unsigned char differ = a.size() != b.size();
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) differ |= a[i] ^ b[i];
  return differ == 0;
}

// Whether the request carries the administrator's password: HTTP Basic,
// any user name.
bool HasPassword(pappl_client_t* client) {
  std::ifstream in(password_path);
  std::string salt_and_hash;
  if (!std::getline(in, salt_and_hash)) return false;
  const size_t colon = salt_and_hash.find(':');
  if (colon == std::string::npos) return false;
  const char* field = httpGetField(papplClientGetHTTP(client), HTTP_FIELD_AUTHORIZATION);
  if (field == nullptr || strncmp(field, "Basic ", 6) != 0) return false;
  char decoded[512];
  int length = sizeof decoded - 1;
  httpDecode64_2(decoded, &length, field + 6);
  decoded[std::max(0, length)] = '\0';
  const char* password = strchr(decoded, ':');
  return password != nullptr && SameText(Hash(salt_and_hash.substr(0, colon), password + 1),
                                         salt_and_hash.substr(colon + 1));
}

// The checks of request_checks.h for the operations anyone may ask for.
http_status_t CheckRequest(pappl_client_t* client, ipp_op_t op) {
  switch (op) {
    case IPP_OP_PRINT_JOB:
    case IPP_OP_CREATE_JOB:
    case IPP_OP_VALIDATE_JOB:
      if (const http_status_t status = CheckMediaOffsets(client); status != HTTP_STATUS_CONTINUE) {
        return status;
      }
      return op == IPP_OP_VALIDATE_JOB ? HTTP_STATUS_CONTINUE : CheckSubmission(client);
    case IPP_OP_SEND_DOCUMENT:
      return CheckSubmission(client);
    case IPP_OP_GET_JOBS:
    case IPP_OP_GET_JOB_ATTRIBUTES:
      return CheckJobPrivacy(client,
                             access(password_path.c_str(), F_OK) == 0 && HasPassword(client));
    default:
      return HTTP_STATUS_CONTINUE;
  }
}

// PAPPL asks this for clients over TCP; those on the local socket are the
// owner's and are never asked about.
http_status_t AuthorizeRequest(pappl_client_t* client) {
  if (ipp_t* request = papplClientGetRequest(client);
      request != nullptr && IsPrintOperation(ippGetOperation(request))) {
    return CheckRequest(client, ippGetOperation(request));
  }
  if (access(password_path.c_str(), F_OK) != 0) return HTTP_STATUS_FORBIDDEN;
  if (!HasPassword(client)) return HTTP_STATUS_UNAUTHORIZED;
  ipp_t* request = papplClientGetRequest(client);
  return request != nullptr && ippGetOperation(request) == IPP_OP_SET_PRINTER_ATTRIBUTES
             ? CheckReadyOffsets(client)
             : HTTP_STATUS_CONTINUE;
}

// A request whose check failed is refused: nothing gets through unchecked.
http_status_t Authorize(pappl_client_t* client, const char* /*group*/, gid_t /*gid*/,
                        void* /*data*/) {
  return GuardedCall(papplClientGetSystem(client), "Checking a request", HTTP_STATUS_SERVER_ERROR,
                     [&] { return AuthorizeRequest(client); });
}

bool PrinterHome(pappl_client_t* client, void* data) {
  // A form sent from the page changes the printer.
  if (papplClientGetMethod(client) == HTTP_STATE_POST && !papplClientHTMLAuthorize(client)) {
    return true;
  }
  ShowPrinterHome(client, static_cast<pappl_printer_t*>(data));
  return true;
}

}  // namespace

std::string PasswordFile(const std::string& state_directory) {
  return state_directory + "/admin-password";
}

bool SetAdminPassword(const std::string& state_directory, const std::string& password) {
  if (password.size() < 8) {
    fputs("zova-printer-app: the password must be at least 8 characters.\n", stderr);
    return false;
  }
  std::random_device random;
  char salt[17];
  snprintf(salt, sizeof salt, "%08x%08x", random(), random());
  const std::string path = PasswordFile(state_directory);
  const std::string temporary = path + ".new";
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const std::string line = std::string(salt) + ":" + Hash(salt, password) + "\n";
  // The server reads it as the state directory's owner: root, setting the
  // password of a service that runs as a user of its own, hands it over.
  struct stat directory {};
  const bool owned = geteuid() != 0 || stat(state_directory.c_str(), &directory) != 0 ||
                     (fd >= 0 && fchown(fd, directory.st_uid, directory.st_gid) == 0);
  const bool written = fd >= 0 && owned &&
                       write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size()) &&
                       fsync(fd) == 0;
  if (fd >= 0) close(fd);
  if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = errno;
    unlink(temporary.c_str());
    fprintf(stderr, "zova-printer-app: unable to write %s: %s\n", path.c_str(), strerror(error));
    return false;
  }
  return true;
}

void InstallAccessPolicy(pappl_system_t* system, const std::string& password_file) {
  password_path = password_file;
  papplSystemSetAuthCallback(system, "Basic", Authorize, nullptr);
}

void GuardPrinterHome(pappl_printer_t* printer, void* /*data*/) {
  char path[1024];
  papplPrinterGetPath(printer, "", path, sizeof path);
  // The first page added for a path is the one served: this one, before
  // PAPPL's own.
  papplSystemAddResourceCallback(papplPrinterGetSystem(printer), path, "text/html", PrinterHome,
                                 printer);
  GuardMediaPage(printer);
}

}  // namespace zova::app
