// The embedded images and the splash: served by their exact names at their sizes, with the
// image folder as fallback.
#include "Images.h"
#include "Splash.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QImage>
#include <QSplashScreen>
#include <gtest/gtest.h>
#include <memory>

namespace {

TEST(ImagesTest, EveryEmbeddedImageHasItsSizeAndNoAlpha) {
    const QList<QPair<QString, QSize>> images = {{"HostSplash.png", {460, 288}},
                                                 {"HostAbout.png", {460, 288}},
                                                 {"Generic_01.png", {96, 96}},
                                                 {"Generic_02.png", {96, 96}},
                                                 {"bg.png", {1, 1}},
                                                 {"appli32_256.png", {32, 32}},
                                                 {"KVrecall_64x37.png", {64, 37}},
                                                 {"VEX2_64x39.png", {64, 39}}};
    for (const auto& [name, size] : images) {
        const QPixmap image = dorvo::lookupImage(name, "/nonexistent/");
        ASSERT_FALSE(image.isNull()) << name.toStdString();
        EXPECT_EQ(image.size(), size) << name.toStdString();
        EXPECT_FALSE(image.hasAlphaChannel()) << name.toStdString();
    }
    EXPECT_NE(dorvo::lookupImage("Generic_01.png").toImage(),
              dorvo::lookupImage("Generic_02.png").toImage());
}

TEST(ImagesTest, NamesAreExactAndOthersComeFromTheFolder) {
    EXPECT_TRUE(dorvo::lookupImage("hostsplash.png", "/nonexistent/").isNull());
    EXPECT_TRUE(dorvo::lookupImage("../images/bg.png", "/nonexistent/").isNull());

    const QString folder = QString::fromStdString(dorvo2test::makeTempDir("images")) + "/";
    QImage own(3, 2, QImage::Format_RGB32);
    own.fill(Qt::red);
    ASSERT_TRUE(own.save(folder + "Own.png"));
    EXPECT_EQ(dorvo::lookupImage("Own.png", folder).size(), QSize(3, 2));
    // The fallback folder counts from the current folder.
    const QString previous = QDir::currentPath();
    QDir::setCurrent(folder);
    QDir().mkdir("images");
    ASSERT_TRUE(own.save("images/Local.png"));
    EXPECT_EQ(dorvo::lookupImage("Local.png").size(), QSize(3, 2));
    QDir::setCurrent(previous);
}

TEST(SplashTest, CarriesTheVersionOnTheSplashImage) {
    const QImage plain = dorvo::lookupImage("HostSplash.png").toImage();
    const QImage painted = dorvo::paintedSplashImage().toImage();
    ASSERT_EQ(painted.size(), QSize(460, 288));
    // Only the text line near the baseline differs.
    bool changedNearBaseline = false;
    for (int y = 0; y < painted.height(); ++y)
        for (int x = 0; x < painted.width(); ++x)
            if (painted.pixel(x, y) != plain.pixel(x, y)) {
                EXPECT_GT(y, 211 - 14);
                EXPECT_LE(y, 211 + 4);
                changedNearBaseline = true;
            }
    EXPECT_TRUE(changedNearBaseline);

    std::unique_ptr<QSplashScreen> splash(dorvo::createSplashScreen());
    ASSERT_NE(splash, nullptr);
    EXPECT_TRUE(splash->isVisible());
    EXPECT_EQ(splash->pixmap().size(), QSize(460, 288));
}

} // namespace
