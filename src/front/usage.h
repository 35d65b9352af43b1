// The usage text: what the program is and how to call it.
#pragma once

// Composes the usage text into its static buffer and shows it in a message
// box; returns once the user has dismissed it. Runs at most once per run.
void ShowUsage();
