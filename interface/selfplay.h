// Self-play: the engine plays both sides of games from a file of start
// positions.
#pragma once

// Plays one game from each position of "openings.epd" under the clock
// settings in force, pondering off.
void PlayDemoGames();
