#pragma once
// How much and how long a fetch may take: one set of bounds for the updater
// and the release check, so that the check refuses what the updaters refuse.
#include <cstddef>

// The longest body a download accepts; a probe that announces more fails
// before the body is asked for. The body is held whole, in one block, by a
// 32-bit process whose 2 GiB of address space the system's DLLs, the heaps
// and the stacks already cut up: past a few hundred MiB one free block of
// that size is often not there at all. A product build is a few MiB, so
// 512 MiB leaves it a hundredfold room and stays a block the process can
// still be expected to find.
constexpr std::size_t largest_download = std::size_t{512} << 20;

// "cversion.txt" holds one number; anything near this size is not it.
constexpr std::size_t largest_version_file = std::size_t{64} << 10;

// The whole fetch of "cversion.txt", both requests, ends within this time,
// whatever the host's pacing: the time-outs of each step restart with every
// byte, so a host that trickles would hold the updater, and the product's
// close request waiting for it, for ever. A healthy host answers both
// requests in well under a second; 30 s is three of the 10 s step time-outs,
// room for a slow line, and as long as a product's close request is held.
constexpr unsigned version_file_deadline_ms = 30000;
