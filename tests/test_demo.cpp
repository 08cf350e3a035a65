#include "core/demo.h"

#include <gtest/gtest.h>

TEST(BeatLine, prints_hours_minutes_seconds_and_milliseconds_without_leading_zeros)
{
    EXPECT_EQ("beat 0:0:0,0 0", format_beat_line(0));
    EXPECT_EQ("beat 0:1:5,250 65250", format_beat_line(65250));
    EXPECT_EQ("beat 0:59:59,999 3599999", format_beat_line(3599999));
    EXPECT_EQ("beat 1:0:0,0 3600000", format_beat_line(3600000));
    EXPECT_EQ("beat 2:3:4,5 7384005", format_beat_line(2 * 3600000 + 3 * 60000 + 4 * 1000 + 5));
}

TEST(KeyTable, stores_lower_cased_symbols_inside_the_table_only)
{
    for (int32_t& k : keys)
        k = 0;
    EXPECT_TRUE(set_key('A', 1));
    EXPECT_EQ(1, keys['a']);
    EXPECT_TRUE(set_key(' ', 1));
    EXPECT_EQ(1, keys[32]);
    EXPECT_TRUE(set_key(' ', 0));
    EXPECT_EQ(0, keys[32]);
    EXPECT_TRUE(set_key(254, 1));
    // Symbols at 255 and above (cursor keys, function keys) are ignored.
    EXPECT_FALSE(set_key(255, 1));
    EXPECT_FALSE(set_key(273, 1));
    EXPECT_FALSE(set_key(100000, 1));
    EXPECT_FALSE(set_key(-1, 1));
}
