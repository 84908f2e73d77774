// SPDX-License-Identifier: GPL-3.0-or-later
// A shared list of favourites from anyone: every entry read is one the program would ask, the
// report stays short, and what is written of the entries reads back the same.
#include "FuzzSupport.h"
#include "tracker/Favourites.h"
#include "tracker/JoinGame.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const TFavouritesList list = ReadFavouritesList(fuzz::Bytes(data, size));
    FUZZ_CHECK(list.Problems.size() <= MaxListProblems);
    FUZZ_CHECK(list.Problems.size() <= static_cast<std::size_t>(list.BadLines));
    TFavourites kept;
    for (const TFavourite& f : list.Entries) {
        FUZZ_CHECK(IsDottedIPv4(f.Address) && IsPortNumber(f.Port) && f.GameType >= 0 && f.GameType <= 3);
        kept.Add(f);
    }
    const TFavouritesList back = ReadFavouritesList(FavouritesListText(kept));
    FUZZ_CHECK(back.BadLines == 0 && back.Entries == kept.All());
    return 0;
}
