// The command line of Spindle.exe, the S.M.A.R.T. pipe server.
//
//   Spindle.exe                      run as the service "Spindle" (started by the service manager)
//   Spindle.exe /console             serve from a console until Ctrl+C (tests, troubleshooting)
//   ... /machine:<folder>            answer from the disk of the machine snapshot in <folder>
//
// Switches are case-insensitive and may start with '/' or '-'. Anything else is an error, so a
// mistyped switch never starts a server on the wrong disk.
#pragma once

#include <string>
#include <vector>

namespace quarro::spindle {

inline constexpr char16_t kServiceName[] = u"Spindle";
// The service's parameters key below HKLM; its "MachineFolder" (text) names a snapshot folder.
inline constexpr char16_t kParametersKey[] = u"SYSTEM\\CurrentControlSet\\Services\\Spindle\\Parameters";
inline constexpr char16_t kMachineFolderValue[] = u"MachineFolder";

struct Options {
    bool console = false;
    std::u16string machineFolder;  // empty: the real disk
};

// Parses the arguments after the program name; false (with `error` naming the argument) when one
// is not understood.
bool ParseCommandLine(const std::vector<std::u16string>& args, Options* options, std::u16string* error);

}  // namespace quarro::spindle
