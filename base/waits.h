#pragma once
// Waits that keep the user interface live: timers, serial events and clicks are handled
// while they run, so code that waits must re-read its flags afterwards.

// Yields to the user interface, sleeps 1 ms and yields again, count times.
void Pause(int count);

// Waits at least ms milliseconds on the current clock, in passes of Pause(5).
void WaitMilliseconds(int ms);
