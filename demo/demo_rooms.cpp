// SPDX-License-Identifier: GPL-3.0-or-later
// The demo world's map: three areas of rooms, their exits, and the words that name directions.
#include "demo/demo_rooms.h"

#include <QList>

#include <algorithm>

namespace wren::demo
{

const std::array<DirectionWords, DirectionCount> Directions = { {
    { "n", "north", South },
    { "ne", "northeast", SouthWest },
    { "e", "east", West },
    { "se", "southeast", NorthWest },
    { "s", "south", North },
    { "sw", "southwest", NorthEast },
    { "w", "west", East },
    { "nw", "northwest", SouthEast },
    { "u", "up", Down },
    { "d", "down", Up },
} };

const std::array<Area, 3> Areas = { {
    { 1, "Wrenhaven", true },
    { 2, "The Whispering Woods", true },
    { 3, "The Deep Caverns", false },
} };

namespace
{

// clang-format off
const std::array<Room, 42> RoomTable = {{
    // Wrenhaven, the town.
    {1000, 0, "The Town Square", "city", 0, 0, 39,
     "Cobblestones spread out in every direction from a dry fountain in the middle\n"
     "of the square. A weathered signpost points north to the library, east to a\n"
     "little cafe by the water, west to an inn and south towards the harbour.",
     "n:1001 ne:1005 e:1002 se:1009 s:1004 sw:1012 w:1003 nw:1007"},
    {1001, 0, "The Old Library", "indoors", 0, 1, 32,
     "Tall shelves of dusty books lean against each other like tired old men. A\n"
     "reading lamp flickers over a desk where someone left a half-finished letter.\n"
     "The only way out is back south to the square.",
     "s:1000"},
    // Latin-1: "Café du Port", "café", "crème brûlée", "Ærøskøbing", "Zürich", "L'Haÿ-les-Roses"
    // (the ÿ is byte 255, so it goes out as IAC IAC), "£2", "naïve".
    {1002, 0, "Caf\xE9 du Port", "indoors", 1, 0, 32,
     "A cosy little caf\xE9 smelling of coffee and cr\xE8me br\xFBl\xE9" "e. Postcards from\n"
     "\xC6r\xF8sk\xF8" "bing and Z\xFCrich are pinned above the counter, beside a faded menu\n"
     "from L'Ha\xFF-les-Roses. The chalk board reads: \"Caf\xE9 au lait \xA3" "2, na\xEFve prices!\"\n"
     "The door leads back west to the square.",
     "w:1000"},
    // UTF-8: "The Travellers’ Inn", "naïve", "日本語", "ünïcödé", "Ελληνικά", "Русский", "☕".
    {1003, 0, "The Travellers\xE2\x80\x99 Inn", "indoors", -1, 0, 32,
     "Travellers from far away have left their marks on the walls: a na\xC3\xAFve\n"
     "drawing of a ship, the words \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E painted in red, and "
     "\"\xC3\xBCn\xC3\xAF" "c\xC3\xB6" "d\xC3\xA9\" carved\n"
     "into a beam. A sign over the bar says \xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC, "
     "\xD0\xA0\xD1\x83\xD1\x81\xD1\x81\xD0\xBA\xD0\xB8\xD0\xB9 and \xE2\x98\x95 in one breath.\n"
     "The square lies back to the east.",
     "e:1000"},
    {1004, 0, "The Harbour", "harbour", 0, -1, 39,
     "Fishing boats rock gently against the pier while gulls argue over scraps.\n"
     "Nets are drying in the salty wind, and the smell of tar hangs in the air.\n"
     "A road climbs north to the square.",
     "n:1000 e:1009 w:1012"},
    {1005, 0, "Market Street", "city", 1, 1, 39,
     "Awnings in every colour shade the shop fronts along this busy street. A\n"
     "baker's boy hurries past with a tray of rolls balanced on his head.",
     "e:1006 sw:1000"},
    {1006, 0, "The Market", "city", 2, 1, 39,
     "Stalls crowd the open market: cabbages, copper pots, bolts of cloth and a\n"
     "man who swears his potions cure everything. The ring of a hammer comes\n"
     "from the north, and the town gate stands to the east.",
     "n:1015 e:1014 w:1005"},
    {1007, 0, "Temple Lane", "city", -1, 1, 39,
     "A quiet lane lined with lime trees climbs towards the temple steps. Candle\n"
     "sellers wait patiently on the corners.",
     "n:1008 se:1000"},
    {1008, 0, "The Temple of the Wren", "indoors", -1, 2, 32,
     "Sunlight falls through a round window onto a carved wooden wren, worn smooth\n"
     "by the hands of the faithful. It is very quiet in here.",
     "s:1007 w:1016"},
    {1009, 0, "Fishmongers' Row", "city", 1, -1, 39,
     "Fish of every size glisten on beds of ice while their sellers shout prices\n"
     "over each other. The cobbles are slippery underfoot.",
     "e:1010 w:1004 nw:1000"},
    {1010, 0, "The Pier", "water", 2, -1, 39,
     "The long wooden pier creaks under your feet. Below, the green water slaps\n"
     "lazily against the posts.",
     "e:1011 w:1009"},
    {1011, 0, "End of the Pier", "water", 3, -1, 39,
     "The pier ends at a bench and a rusty telescope pointed out to sea. On a\n"
     "clear day, they say, you can see the islands.",
     "w:1010"},
    {1012, 0, "Warehouse Alley", "city", -1, -1, 39,
     "A narrow alley runs between tall brick warehouses. Crates are stacked\n"
     "against the walls, some of them stamped with faraway names.",
     "e:1004 w:1013 ne:1000"},
    {1013, 0, "The Old Warehouse", "indoors", -2, -1, 32,
     "Dust dances in the light from a broken skylight. The warehouse has been\n"
     "empty for years, apart from the pigeons and a practice dummy someone left.",
     "e:1012"},
    {1014, 0, "East Gate", "city", 3, 1, 39,
     "The town wall is pierced here by a gate of heavy oak, standing open by day.\n"
     "Beyond it a road disappears into the trees of the Whispering Woods.",
     "e:2000 w:1006"},
    {1015, 0, "The Smithy", "indoors", 2, 2, 32,
     "Heat pours from the forge where the smith beats a glowing bar into shape.\n"
     "Horseshoes, hinges and a single fine sword hang on the walls.",
     "s:1006"},
    {1016, 0, "The Graveyard", "field", -2, 2, 39,
     "Moss-covered stones lean at odd angles in the long grass behind the temple.\n"
     "A blackbird sings on the wall.",
     "e:1008"},

    // The Whispering Woods.
    {2000, 1, "Forest Edge", "forest", 0, 0, 32,
     "The road from the town gate meets the first trees here. Their leaves\n"
     "whisper in the wind, which is how the woods got their name.",
     "e:2001 w:1014"},
    {2001, 1, "Woodland Path", "forest", 1, 0, 32,
     "A well-trodden path winds between beeches and hazel bushes. Squirrels\n"
     "chatter overhead.",
     "e:2002 w:2000"},
    {2002, 1, "Fork in the Path", "forest", 2, 0, 32,
     "The path splits in three. A faded sign points north to the clearing, south\n"
     "to the stream and east towards the old oak.",
     "n:2003 e:2005 s:2004 w:2001"},
    {2003, 1, "Birch Grove", "forest", 2, 1, 32,
     "Slender white birches stand close together, their bark peeling like old\n"
     "paper.",
     "n:2006 ne:2007 s:2002"},
    {2004, 1, "Mossy Hollow", "forest", 2, -1, 32,
     "The ground dips into a hollow where everything, stones and roots alike, is\n"
     "covered in soft green moss.",
     "n:2002 s:2008 sw:2009"},
    {2005, 1, "The Old Oak", "forest", 3, 0, 32,
     "An enormous oak, older than the town itself, spreads its branches over the\n"
     "path. Initials are carved all around its trunk.",
     "e:2012 w:2002"},
    {2006, 1, "Sunlit Clearing", "field", 2, 2, 32,
     "Sunlight pours into a wide clearing full of wildflowers and bees.",
     "e:2007 s:2003"},
    {2007, 1, "Fox Den", "forest", 3, 2, 32,
     "A sandy bank is riddled with holes. A pair of bright eyes watches you from\n"
     "one of them.",
     "sw:2003 w:2006"},
    {2008, 1, "Stream Bank", "forest", 2, -2, 32,
     "A clear stream chatters over pebbles. Stepping stones cross it to the east.",
     "n:2004 e:2010 w:2009"},
    {2009, 1, "Mushroom Ring", "forest", 1, -2, 32,
     "A perfect ring of red-capped mushrooms grows here. It is probably wise not\n"
     "to step inside.",
     "ne:2004 e:2008"},
    {2010, 1, "Stepping Stones", "water", 3, -2, 32,
     "You balance on a flat stone in the middle of the stream. The water is cold\n"
     "and fast.",
     "e:2011 w:2008"},
    {2011, 1, "Far Bank", "forest", 4, -2, 32,
     "The far bank of the stream is quiet and shady. Few walkers come this far.",
     "w:2010"},
    {2012, 1, "Deep Woods", "forest", 4, 0, 32,
     "The trees grow dark and close. The whispering of the leaves sounds almost\n"
     "like words here.",
     "e:2013 w:2005"},
    {2013, 1, "Cave Mouth", "forest", 5, 0, 32,
     "A dark opening gapes in a rocky hillside. Cold air breathes out of it, and\n"
     "rough steps lead down into the darkness.",
     "w:2012 d:3000"},

    // The Deep Caverns: no map coordinates.
    {3000, 2, "Cave Entrance", "cave", 0, 0, 36,
     "Daylight falls down the rough steps behind you. The cave stretches north\n"
     "into darkness.",
     "n:3001 u:2013"},
    {3001, 2, "Dripping Tunnel", "cave", 0, 0, 36,
     "Water drips steadily from the ceiling into little pools. The tunnel\n"
     "branches east and west.",
     "e:3002 s:3000 w:3003"},
    {3002, 2, "Crystal Chamber", "cave", 0, 0, 36,
     "Crystals in the walls catch your light and throw it back in a hundred\n"
     "colours. An iron ladder leads down through a hole in the floor.",
     "w:3001 d:3004"},
    {3003, 2, "Bat Roost", "cave", 0, 0, 36,
     "Hundreds of bats hang from the ceiling, shifting and squeaking. A narrow\n"
     "crawl leads off to the northwest.",
     "e:3001 nw:3006"},
    {3004, 2, "Lower Gallery", "cave", 0, 0, 36,
     "A long gallery at the foot of the ladder. The air is damp and smells of\n"
     "still water.",
     "n:3005 u:3002"},
    {3005, 2, "Underground Lake", "underground lake", 0, 0, 36,
     "A black lake fills the cavern, so still it looks like a floor of glass.\n"
     "Passages lead off east and west along the shore.",
     "e:3009 s:3004 w:3008"},
    {3006, 2, "Narrow Crawl", "cave", 0, 0, 36,
     "You squeeze through a tight passage on hands and knees.",
     "n:3007 se:3003"},
    {3007, 2, "Top of the Slide", "cave", 0, 0, 36,
     "The floor tilts into a smooth, steep chute polished by running water.\n"
     "Whoever slides down will not be climbing back up.",
     "s:3006 d:3008"},
    {3008, 2, "Bottom of the Slide", "cave", 0, 0, 36,
     "You land in a heap of sand. The chute above is far too steep and smooth to\n"
     "climb.",
     "e:3005"},
    {3009, 2, "Glowworm Grotto", "cave", 0, 0, 36,
     "Thousands of glowworms light the ceiling like a sky full of green stars.",
     "n:3010 w:3005"},
    {3010, 2, "Forgotten Shrine", "cave", 0, 0, 36,
     "A small stone shrine stands in an alcove, its offerings long since turned\n"
     "to dust. A carved wren watches over it.",
     "s:3009"},
}};
// clang-format on

} // namespace

int DirectionFromWord(QByteArrayView word)
{
    const QByteArray lower = word.toByteArray().toLower();
    for (int direction = 0; direction < DirectionCount; ++direction) {
        const DirectionWords &words = Directions[static_cast<size_t>(direction)];
        if (lower == words.Short || lower == words.Long)
            return direction;
    }
    return -1;
}

std::span<const Room> Rooms()
{
    return RoomTable;
}

const Room *FindRoom(int number)
{
    const auto it = std::find_if(
        RoomTable.begin(), RoomTable.end(), [number](const Room &room) { return room.Number == number; });
    return it == RoomTable.end() ? nullptr : &*it;
}

std::array<int, DirectionCount> ExitsOf(const Room &room)
{
    std::array<int, DirectionCount> exits {};
    for (const QByteArray &exit : QByteArray(room.ExitList).split(' ')) {
        const qsizetype colon = exit.indexOf(':');
        const int direction = DirectionFromWord(QByteArrayView(exit).first(std::max<qsizetype>(colon, 0)));
        if (direction >= 0)
            exits[static_cast<size_t>(direction)] = exit.mid(colon + 1).toInt();
    }
    return exits;
}

} // namespace wren::demo
