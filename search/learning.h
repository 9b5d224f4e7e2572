// What the engine learns after its own move: the search's rings of recent
// moves show a sharp drop in score, and the position of three plies back is
// queued for the learning file (book/learn.h keeps the file and the queue).
#pragma once

// After each engine move: writes or drops the queued positions and queues the
// position of three plies back when the score fell sharply.
void LearnAfterSearch();
