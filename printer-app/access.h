// Who may do what. Printing is open to all. Changing the application (its
// printers, their settings and defaults, pausing, deleting) is the owner's:
// over the local socket, which only the application's user (and root) can
// open, or, over TCP, with the administrator's password (HTTP Basic, on
// the web page too) once one is set. Without a password TCP clients cannot
// change anything.
#pragma once

#include <pappl/pappl.h>

#include <string>

namespace zova::app {

// The file that holds the administrator's password, salted and hashed, in
// the state directory.
std::string PasswordFile(const std::string& state_directory);

// Sets the password; false after a message on standard error.
bool SetAdminPassword(const std::string& state_directory, const std::string& password);

// Installs the policy on the system. `password_file` may not exist.
void InstallAccessPolicy(pappl_system_t* system, const std::string& password_file);

// PAPPL 1.3.1 lets anyone who can load a printer's home page pause it,
// resume it or hold its new jobs: the page's forms are for those who may
// change the printer. Called for every printer as it is made.
void GuardPrinterHome(pappl_printer_t* printer, void* data);

}  // namespace zova::app
