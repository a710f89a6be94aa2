#pragma once
// The console's "-s stream[:channel[:bit]]" option: short stream names and the entries of the
// selection that each value asks for.

#include <string>

class CCmdLineParser;
class CKVD;
class CKVDataSelection;
class CStreamChannelMap;

// The full stream name of a short form: "El", "Di", "DiEv", "An", "Tr", "Sp", "SpPa", "Pa",
// "Ch", "Fi" (exact case), alone or followed by a number above 0 that is kept behind a blank
// ("El2" is "Electrode Raw Data 2"). Any other name comes back unchanged.
std::string ExpandStreamShortcut(const std::string& typed);

// Appends to `selection`, in command-line order, the entries of every "-s" value of `parser`,
// each checked against `map` (the streams and channels of the opened file or set); names for
// whole streams come from `firstFile`'s layout and the entries' rates from its streams (0 when
// it is null or lacks the stream). Prints what it selects, and with `debug` every expanded
// entry. Returns 0 when every value was taken; 1 at the first value naming a stream or channel
// that the map lacks, or a bit that is not a number from 0 to 15, after printing why (entries
// added before it stay).
int ParseSelection(const CCmdLineParser& parser, const CStreamChannelMap& map,
                   const CKVD* firstFile, bool debug, CKVDataSelection& selection);
