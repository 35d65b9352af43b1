// Makes a MIDI output driver the MIDI mapper's current instrument for the
// default user.
#pragma once

// Finds the first instance of the MEDIA class, in the registry's enumeration
// order, that holds the driver key `driver_name`, and writes
// CurrentInstrument = "<driver_name><<instance>>" and then Autoscheme = 0
// under the MIDI mapper key. Returns 1 when the driver was found and both
// values were written, 0 otherwise. An empty name is refused untouched.
int RedirectMidiStream(const char* driver_name);
