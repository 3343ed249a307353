// The mdbdeploy program: its entry steps and the installation it runs.
//
// Run as root, mdbdeploy reads the runtime directory (BINPATH of section
// DEFAULT) from the platform's configuration file, checks that the runtime's
// library kx200vm64.so is there, and installs the archive mdbdeploy.zip that
// lies beside the program into that directory, every file with the owner,
// group and mode of kx200vm64.so. Its outcome is a message on standard error
// and the exit status; standard output is not used.
#pragma once

// The platform's configuration file.
constexpr wchar_t kszInstallerConfig[] = L"/etc/Velmora/SILTRA/20.0/SILTRA.conf";
// The runtime library whose owner, group and mode the files receive.
constexpr wchar_t kszRuntimeLibrary[] = L"kx200vm64.so";
// Characters BINPATH is read into (the terminator included); a directory
// that does not fit the 260-character paths is refused, never cut.
constexpr unsigned knBinPathBuffer = 1024;

// The program's entry steps, in order: message loader and string allocator
// up; SIGALRM (interrupting, doing nothing) and SIGCHLD (doing nothing)
// handlers; UTF-8 locale; command line recorded; then, when the real user
// is not root, message 4219 and failure without reading anything; else
// bDoInstall and message 7993 (success) or 7994 (failure). Each of these
// messages is followed by "\n\n". Finally the allocator and the loader are
// ended. Returns 0 on success, -1 on failure (exit status 255).
// `pszConfig` is the configuration file; the program always passes the
// default.
int nInstallerMain(int argc, char** argv, const wchar_t* pszConfig = kszInstallerConfig);

// The installation: BINPATH read and normalised as a directory ("\" read as
// "/", a final "/"); an empty value shows 4976; a directory over 260
// characters shows 4977 with the directory and the system's text of
// ENAMETOOLONG; a missing kx200vm64.so shows 4977 with that bare name and
// the system's text (ENAMETOOLONG's when the directory and the name
// together pass 260 characters); a directory that cannot be read shows 4977 with the
// directory; then the archive beside the program is opened and installed
// (CDataExtractor). True on success. Messages are written without a final
// "\n\n".
bool bDoInstall(const wchar_t* pszConfig = kszInstallerConfig);

// Writes a wide text to standard error as UTF-8, exactly as it is (a "%"
// is not interpreted).
void InstallerWriteError(const wchar_t* pszText);
