// The comparison every golden frame and every kximgdiff run relies on: a
// difference in any one channel of any pixel must count.
#include "trace/image_compare.h"

#include <gtest/gtest.h>

namespace {

Image grey(int width, int height, uint8_t level) {
    Image image;
    image.width = width;
    image.height = height;
    image.rgb.assign(size_t(width) * height * 3, level);
    return image;
}

} // namespace

TEST(ImageCompare, EveryChannelOfEveryPixelCounts) {
    const Image reference = grey(4, 3, 100);
    EXPECT_EQ(compareImages(reference, reference).pixels, 0u);
    EXPECT_EQ(compareImages(reference, reference).largest, 0);
    // One channel changed at a time, at the first, a middle and the last pixel.
    for (size_t byte : {size_t(0), size_t(16), size_t(35)}) {
        Image test = reference;
        test.rgb[byte] = 97;
        const ImageDifference d = compareImages(reference, test);
        EXPECT_EQ(d.pixels, 1u) << "byte " << byte;
        EXPECT_EQ(d.largest, 3) << "byte " << byte;
    }
    Image test = reference;
    test.rgb[1] = 255; // pixel 0: +155 in green
    test.rgb[5] = 90;  // pixel 1: -10 in blue
    test.rgb[6] = 99;  // pixel 2: -1 in red
    const ImageDifference d = compareImages(reference, test);
    EXPECT_EQ(d.pixels, 3u);
    EXPECT_EQ(d.largest, 155);

    // The difference picture: differing pixels red, brighter the larger the
    // difference; the others the reference at a quarter.
    const Image picture = differenceImage(reference, test);
    ASSERT_EQ(picture.rgb.size(), reference.rgb.size());
    EXPECT_EQ(picture.rgb[0], 255); // 128 + 155, held at 255
    EXPECT_EQ(picture.rgb[1], 0);
    EXPECT_EQ(picture.rgb[3], 138); // 128 + 10
    EXPECT_EQ(picture.rgb[6], 129);
    EXPECT_EQ(picture.rgb[9], 25);
    EXPECT_EQ(picture.rgb[10], 25);
}
