// Thinking: one engine move with its time plan, the stop tests the searches
// poll, pondering on the opponent's time, resignation and the rings of the
// engine's recent moves.
#pragma once
#include <cstdint>
#include "board/types.h"

// Centiseconds kept back on the clock for each move still to be planned:
// what a move costs beyond its search (reading the line, writing the reply,
// the interface's own delay, a busy machine) so the clock never runs out.
constexpr int64_t MOVE_OVERHEAD = 3;

// Time plan without a clock: a fixed-depth or analysis search is never
// stopped by time.
constexpr int32_t UNTIMED_TARGET = 9999999;
constexpr int32_t NO_CLOCK = -1;               // Limits.TimeLeft: fixed-depth search
constexpr int32_t INFINITE_TIME = 999999999;   // Limits.TimeLeft: search until told to stop
constexpr int RECENT_RING_SIZE = 10;           // slot 9 is the newest

// The plan of the current search (centiseconds).
extern int32_t SearchStartTime;   // TimeMs() / 10 at the start
extern int32_t TargetTime;
extern int32_t MaxTime;
extern int32_t PollInterval;      // nodes between two polls of the stop test

// The last search's root score and the side it was seen from.
extern int32_t PrevScore;
extern int32_t PrevScoreSide;

// Root facts the time rule reads (written by the root drivers).
extern Move EasyMove;             // the one recapture at the root, else 0
extern int32_t PastFirstRootMove; // the first root move of an iteration has been searched
extern int32_t TbRootHit;         // the root list came from the tablebases

// Pondering.
extern int32_t PonderSearchActive;  // the running search is on the opponent's time
extern Move PonderExpected;         // the reply the ponder search assumes
extern int32_t PonderMiss;          // the opponent played something else (or the ponder was called off)
extern Move PonderMove;             // second move of the principal variation
extern int32_t PonderListEnd;       // end of the legal list kept from PONDER_LIST_START
extern int32_t HintSearch;          // a short search that finds the move to ponder on

// Requests left by the in-search input handler for the callers of a search.
extern Move TypedMove;
extern int32_t NewGameRequest;
extern int32_t ExitRequest;
extern int32_t UndoRequest;

// Starts a new game when "new" ended the search. Game control sits above the
// search, so the interface sets it at start-up (BuildStartupTables); while it
// is unset a "new" during Think only ends the search.
extern void (*NewGameHandler)();

extern int32_t MovesOutOfBook;    // engine moves searched since the book ran out

// UCI: a finished search whose "bestmove" line is still owed (with the move
// in LastBestMove, 0 printing "0000"); paid by "stop" or "ponderhit".
extern int32_t BestMoveOwed;
extern Move LastBestMove;

// The recent-move rings.
extern uint64_t RecentKeys[RECENT_RING_SIZE];
extern int32_t RecentScores[RECENT_RING_SIZE];
extern int32_t RecentBookFlags[RECENT_RING_SIZE];

// The move of the kept legal list (from PONDER_LIST_START to PonderListEnd)
// with the from and to squares and the promotion of move; 0 when none.
Move FindLegalMove(Move move);

// Plays one engine move under the clock variables, answering in the protocol
// in use, then ponders when pondering is on.
void Think();
// 1 when the search must stop now (polled inside the tree).
int CheckTime();
// 1 when no further iteration should be started.
int CheckTimeNewIteration();
// 1 when the fixed-depth or MultiPV root must stop; the early-stop rule
// applies only between iterations (argument 1).
int CheckTimeAtRoot(int betweenIterations);
// The last search's score back to 0: a new game or position has no history.
void ForgetPrevScore();
// Slots 0 to 8 of the rings: key 0, score 100, from the book.
void ResetResignWindow();

// Prints the owed "bestmove" line when one is owed ("stop"); gives 1 when it
// printed.
int PayOwedBestMove();
// "ponderhit" after a ponder search that ended by itself: the owed move is
// played and announced with its ponder move.
void PayOwedPonderHit();

// Helpers of Think, open for the tests.
// Sets TargetTime, MaxTime and PollInterval from the clock variables.
void PlanTime();
// 1 when the rings hold ResignTimes losing engine moves in a row that match
// the game record.
int ShouldResign();
// Centiseconds on the engine's clock.
int32_t ClockCentiseconds();
