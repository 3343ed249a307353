// The recorded command line of the installer: one process-wide wide buffer
// of 1025 characters (1024 and the terminator).
//
// SetCommandLine empties the buffer, then appends each argument decoded from
// UTF-8 (invalid sequences become "?"; at most 1024 characters of each) and
// one space after it, the last argument included. An argument holding a space
// is quoted: when an "=" comes before its first space, the text up to and
// including that "=" stays outside the quotes and the rest goes between
// them; otherwise the whole argument goes between them. Quotes inside an
// argument are written as they are. Appending stops at the capacity; the
// buffer is always terminated.
//
// Not synchronised: the command line is recorded once at start.
#pragma once

// Records argc arguments; a null argv or null argument adds nothing for it.
void SetCommandLine(int argc, char** argv);
// The recorded text (empty before the first SetCommandLine). The buffer is
// owned by the process and valid until the next SetCommandLine.
const wchar_t* GetCommandLine();
