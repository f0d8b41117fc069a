#include "options/slider/Slider.h"
#include "options/slider/SliderGeometry.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalSpy>

using namespace somnex::options;

namespace {

constexpr double kW = 150 * 15;    // a 150-pixel control
constexpr double kThumb = 19 * 15; // the thumb's actual width

} // namespace

TEST(SliderGeometry, PlacingAndDraggingInTwips)
{
    struct Case {
        const char *what;
        double x; // pointer, twips
        int value;
        double thumb;
    } drags[] = {
        {"far left of the track", 0, 0, 30},
        {"at the left stop", 165, 0, 30},
        {"just past the left stop", 166, 3, 30},
        {"a quarter", 615, 55, 480},
        {"middle", 1095, 110, 960},
        {"right stop", 2070, 220, 1920.0 * 221 / 220},
        {"far right of the control", 9000, 220, 1920.0 * 221 / 220},
    };
    for (const Case &c : drags) {
        const DragResult r = dragTo(c.x, 0, 220, kW, kThumb);
        EXPECT_EQ(r.value, c.value) << c.what;
        EXPECT_DOUBLE_EQ(r.thumb, c.thumb) << c.what;
    }

    // A value set from outside divides by one step more than a drag does, so
    // Max stops short of the place a drag to the right end reaches.
    EXPECT_DOUBLE_EQ(thumbForValue(220, 0, 220, kW, kThumb, false), 1920.0 * 220 / 221);
    EXPECT_DOUBLE_EQ(thumbForValue(220, 0, 220, kW, kThumb, true), 1920);
    EXPECT_DOUBLE_EQ(thumbForValue(0, 0, 220, kW, kThumb, false), 30);
    EXPECT_DOUBLE_EQ(thumbForValue(50, 0, 220, kW, kThumb, false), 1920.0 * 50 / 221);
    // Far outside the range: held between the stops.
    EXPECT_DOUBLE_EQ(thumbForValue(-500, 0, 220, kW, kThumb, false), 30);
    EXPECT_DOUBLE_EQ(thumbForValue(5000, 0, 220, kW, kThumb, false), kW - 30 - kThumb);
    EXPECT_NEAR(thumbForValue(2147483647, -2147483647 - 1, 2147483647, kW, kThumb, false), 1920, 1e-3);
}

TEST(SliderGeometry, DegenerateRangesAndWidthsStayInRange)
{
    struct Case {
        const char *what;
        int min, max;
        double width;
        int value;
    } cases[] = {
        {"empty range", 5, 5, kW, 5},
        {"inverted range", 10, 0, kW, 10},
        {"control narrower than the travel", 0, 220, 300, 0},
        {"zero width", 0, 220, 0, 0},
        {"whole 32-bit range", -2147483647 - 1, 2147483647, kW, 2147483647},
    };
    for (const Case &c : cases) {
        const DragResult r = dragTo(9000, c.min, c.max, c.width, kThumb);
        EXPECT_EQ(r.value, c.value) << c.what;
        (void)thumbForValue(r.value, c.min, c.max, c.width, kThumb, false);
    }
    EXPECT_EQ(stepRight(220, 0, 220), 220);
    EXPECT_EQ(stepLeft(0, 0, 220), 0);
    EXPECT_EQ(stepRight(2147483647, 0, 2147483647), 2147483647);
    EXPECT_EQ(stepLeft(-2147483647 - 1, -2147483647 - 1, 0), -2147483647 - 1);
    EXPECT_EQ(stepLeft(500, 0, 220), 220); // set from outside; keys bring it back
}

TEST(SliderGeometry, MenuTransparency)
{
    struct Case {
        int menuAlpha, slider, percent;
    } cases[] = {{205, 50, 19}, {35, 220, 86}, {255, 0, 0}, {0, 0, 0}, {128, 127, 49}, {204, 51, 20}};
    for (const Case &c : cases) {
        EXPECT_EQ(sliderValueForMenuAlpha(c.menuAlpha), c.slider) << c.menuAlpha;
        EXPECT_EQ(transparencyPercent(c.slider), c.percent) << c.slider;
    }
    EXPECT_EQ(menuAlphaForSliderValue(sliderValueForMenuAlpha(205)), 205); // stored again unchanged
    EXPECT_EQ(menuAlphaForSliderValue(sliderValueForMenuAlpha(0)), 255);
}

namespace {

struct SliderFixture : ::testing::Test {
    Slider slider;
    void SetUp() override
    {
        slider.resize(150, 24);
        slider.Max(220);
        slider.Min(0);
    }
    void key(int k)
    {
        QKeyEvent e(QEvent::KeyPress, k, Qt::NoModifier);
        QApplication::sendEvent(&slider, &e);
    }
    void mouse(QEvent::Type type, int x, Qt::MouseButton button, Qt::MouseButtons buttons)
    {
        QMouseEvent e(type, QPointF(x, 10), slider.mapToGlobal(QPointF(x, 10)), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(&slider, &e);
    }
};

} // namespace

TEST_F(SliderFixture, KeysStepAndAlwaysReportScroll)
{
    QSignalSpy scroll(&slider, &Slider::Scroll);
    struct Case {
        int start, key, value;
    } cases[] = {
        {220, Qt::Key_Right, 220}, // Right at 220 leaves 220 and still reports
        {0, Qt::Key_Left, 0},
        {100, Qt::Key_Right, 101},
        {100, Qt::Key_Left, 99},
    };
    for (const Case &c : cases) {
        slider.Value(c.start);
        scroll.clear();
        key(c.key);
        EXPECT_EQ(slider.Value(), c.value);
        ASSERT_EQ(scroll.size(), 1);
        EXPECT_EQ(scroll[0][0].toInt(), c.value);
        EXPECT_DOUBLE_EQ(slider.thumbTwips(), thumbForValue(c.value, 0, 220, kW, kThumb, false));
    }
    scroll.clear();
    key(Qt::Key_Up);
    key(Qt::Key_Home);
    EXPECT_EQ(scroll.size(), 0);
    EXPECT_EQ(slider.Value(), 99);
}

TEST_F(SliderFixture, SettingValueMovesTheThumbWithoutScroll)
{
    QSignalSpy scroll(&slider, &Slider::Scroll);
    QSignalSpy changed(&slider, &Slider::propertyChanged);
    slider.Value(50);
    EXPECT_EQ(scroll.size(), 0);
    EXPECT_DOUBLE_EQ(slider.thumbTwips(), 1920.0 * 50 / 221);
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed[0][0].toString(), QStringLiteral("Value"));
    slider.Value(1000); // taken as it is
    EXPECT_EQ(slider.Value(), 1000);
}

TEST_F(SliderFixture, MouseDragsWithTheLeftButtonOnly)
{
    slider.Value(110);
    QSignalSpy scroll(&slider, &Slider::Scroll);

    mouse(QEvent::MouseButtonPress, 0, Qt::LeftButton, Qt::LeftButton); // far left of the thumb
    ASSERT_EQ(scroll.size(), 1);
    EXPECT_EQ(scroll[0][0].toInt(), 0);
    EXPECT_EQ(slider.Value(), 0);
    EXPECT_DOUBLE_EQ(slider.thumbTwips(), 30);

    mouse(QEvent::MouseMove, 73, Qt::NoButton, Qt::LeftButton); // 1095 twips
    ASSERT_EQ(scroll.size(), 2);
    EXPECT_EQ(slider.Value(), 110);

    mouse(QEvent::MouseMove, 149, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(slider.Value(), 220);

    mouse(QEvent::MouseMove, 10, Qt::NoButton, Qt::NoButton); // hovering
    mouse(QEvent::MouseButtonPress, 10, Qt::RightButton, Qt::RightButton);
    EXPECT_EQ(scroll.size(), 3);
    EXPECT_EQ(slider.Value(), 220);
}

TEST_F(SliderFixture, DisabledControlIgnoresMouseAndKeys)
{
    slider.Value(100);
    QSignalSpy scroll(&slider, &Slider::Scroll);
    QSignalSpy changed(&slider, &Slider::propertyChanged);
    slider.Enable(false);
    EXPECT_FALSE(slider.Enable());
    EXPECT_EQ(changed.size(), 1);
    key(Qt::Key_Right);
    mouse(QEvent::MouseButtonPress, 0, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(scroll.size(), 0);
    EXPECT_EQ(slider.Value(), 100);
    slider.Enable(true);
    key(Qt::Key_Right);
    EXPECT_EQ(slider.Value(), 101);
}

TEST_F(SliderFixture, FocusRectangleFollowsTheFocus)
{
    EXPECT_FALSE(slider.focusRectVisible());
    QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(&slider, &in);
    EXPECT_TRUE(slider.focusRectVisible());
    slider.grab(); // paints with the rectangle
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(&slider, &out);
    EXPECT_FALSE(slider.focusRectVisible());
    slider.UserControl_GotFocus(); // forwarded by a host
    EXPECT_TRUE(slider.focusRectVisible());
}

TEST_F(SliderFixture, ResizingPlacesTheThumbForTheNewWidth)
{
    slider.Value(110);
    slider.resize(300, 24);
    QResizeEvent e(QSize(300, 24), QSize(150, 24));
    QApplication::sendEvent(&slider, &e);
    EXPECT_DOUBLE_EQ(slider.thumbTwips(), (300.0 * 15 - 330) * 110 / 221);
}
