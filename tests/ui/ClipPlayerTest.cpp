// The progress clip player and the icon resources.
#include "ui/ClipPlayer.h"

#include "ui/IconResource.h"

#include <QTest>
#include <gtest/gtest.h>

TEST(ClipPlayer, OpensTheProgressClipAtItsFrameSize) {
    CClipPlayer player;
    player.resize(300, 40);
    ASSERT_TRUE(player.Open(107));
    EXPECT_EQ(player.size(), QSize(220, 18));
    EXPECT_EQ(player.frameCount(), 20);
    EXPECT_EQ(player.framePeriod(), 83333u);
    EXPECT_FALSE(player.isPlaying());
}

TEST(ClipPlayer, PlaysOnAndStops) {
    CClipPlayer player;
    ASSERT_TRUE(player.Open(107));
    player.Play();
    EXPECT_TRUE(player.isPlaying());
    EXPECT_EQ(player.currentFrame(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(player.currentFrame() != 0, 5000);
    player.Stop();
    EXPECT_FALSE(player.isPlaying());
}

TEST(ClipPlayer, MissingClipPlaysNothing) {
    CClipPlayer player;
    EXPECT_FALSE(player.Open(9999));
    player.Play();
    EXPECT_FALSE(player.isPlaying());
}

TEST(IconResource, OffersTheSizesOfTheFile) {
    const QIcon app = loadIconResource(128);
    ASSERT_FALSE(app.isNull());
    EXPECT_TRUE(app.availableSizes().contains(QSize(16, 16)));
    EXPECT_TRUE(app.availableSizes().contains(QSize(48, 48)));
    for (int id : {226, 227}) {
        EXPECT_TRUE(loadIconResource(id).availableSizes().contains(QSize(16, 16))) << id;
    }
    EXPECT_TRUE(loadIconResource(9999).isNull());
}
