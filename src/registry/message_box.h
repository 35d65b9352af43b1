// How the program speaks to the user: a modal box with no owner window, the
// program's name as its title and a single OK button.
#pragma once

inline constexpr char PROGRAM_NAME[] = "Tonvane";

// Shows `text` and returns once the user has dismissed it. Whether the box
// could be shown is not examined: the run goes on the same way.
void ShowMessage(const char* text);
