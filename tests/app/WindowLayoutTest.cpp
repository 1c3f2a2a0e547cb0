// The window's layout in each mode, at the platform's font and at the
// larger font of a desktop: no two group boxes, edits or the log pane
// overlap, every control lies inside its parent at no less than its least
// size, at the window's own size and at the mode's least size; and the
// window opens centred on its screen and within its free area, whatever
// the screen's size and scale.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegion>
#include <QScreen>
#include <QTest>
#include <algorithm>
#include <cstdlib>

#include "app/MigrationModes.h"
#include "app/WindowHarness.h"

namespace movrano::testing {
namespace {

std::string NameOf(const QWidget* widget) {
  const QString name = widget->objectName();
  return (name.isEmpty() ? QString(widget->metaObject()->className()) : name).toStdString();
}

QRect InWindow(QWidget* widget, QWidget& window) {
  return {widget->mapTo(&window, QPoint(0, 0)), widget->size()};
}

bool CutOff(const QWidget* widget) {
  // A combo box's edit lies within the combo box's frame.
  if (qobject_cast<const QComboBox*>(widget->parentWidget())) return false;
  if (widget->hasHeightForWidth())
    return widget->height() < widget->heightForWidth(widget->width());
  const QSize least = widget->minimumSizeHint();
  return least.isValid() && (widget->width() < least.width() || widget->height() < least.height());
}

// What is wrong with the window's layout as it stands, one line a fault.
std::vector<std::string> LayoutFaults(QWidget& window) {
  std::vector<std::string> faults;
  std::vector<QWidget*> boxes;  // group boxes and edits
  for (QWidget* widget : window.findChildren<QWidget*>()) {
    if (widget->isWindow() || !widget->isVisible()) continue;
    if (!widget->parentWidget()->rect().contains(widget->geometry())) {
      faults.push_back(NameOf(widget) + " lies outside " + NameOf(widget->parentWidget()));
    }
    if (CutOff(widget)) faults.push_back(NameOf(widget) + " is cut off");
    if (qobject_cast<QGroupBox*>(widget) || qobject_cast<QLineEdit*>(widget) ||
        qobject_cast<QComboBox*>(widget) || qobject_cast<QPlainTextEdit*>(widget)) {
      boxes.push_back(widget);
    }
  }
  for (size_t i = 0; i < boxes.size(); ++i) {
    for (size_t j = i + 1; j < boxes.size(); ++j) {
      QWidget* a = boxes[i];
      QWidget* b = boxes[j];
      if (a->isAncestorOf(b) || b->isAncestorOf(a)) continue;
      const QRect common = InWindow(a, window).intersected(InWindow(b, window));
      if (!common.isEmpty()) {
        faults.push_back(NameOf(a) + " overlaps " + NameOf(b) + " by " +
                         std::to_string(common.height()) + " pixels");
      }
    }
  }
  return faults;
}

class WindowLayout : public WindowTest, public ::testing::WithParamInterface<int> {
 protected:
  WindowLayout() : platformFont_(QApplication::font()) {
    if (GetParam() > 0) QApplication::setFont(QFont("DejaVu Sans", GetParam()));
  }
  ~WindowLayout() override { QApplication::setFont(platformFont_); }

  void settle() {
    for (int i = 0; i < 3; ++i)
      QApplication::sendPostedEvents();
  }

  // With MOVRANO_WINDOW_SHOTS naming a folder, each mode's look goes there.
  void keepShot(int item, const char* size) {
    const QString folder = qEnvironmentVariable("MOVRANO_WINDOW_SHOTS");
    if (folder.isEmpty()) return;
    QDir().mkpath(folder);
    const QString name =
        QString("%1/mode-%2-font-%3-%4").arg(folder).arg(item).arg(GetParam()).arg(size);
    window().grab().save(name + ".png");
    // The whole screen shows where the window stands once the display has
    // drawn it.
    if (QTest::qWaitForWindowExposed(&window())) {
      QTest::qWait(300);
      window().screen()->grabWindow(0).save(name + "-screen.png");
    }
  }

 private:
  QFont platformFont_;
};

TEST_P(WindowLayout, NothingOverlapsOrIsCutOffInAnyMode) {
  open();
  // 917 by 850 where the screen has room (the test screen has), and that
  // size in every mode.
  const QSize opened =
      QSize(917, 850).boundedTo(window().screen()->availableGeometry().size() -
                                (window().frameGeometry().size() - window().size()));
  for (int item = 0; item <= kLastModeItem; ++item) {
    selectItem(item);
    settle();
    EXPECT_EQ(window().size(), opened) << "mode item " << item;
    EXPECT_EQ(LayoutFaults(window()), std::vector<std::string>{}) << "mode item " << item;
    keepShot(item, "opened");
  }
  // The offline mode shows one control more, on the Solo Vault line.
  selectItem(2);
  click("Check_Offline");
  settle();
  EXPECT_EQ(LayoutFaults(window()), std::vector<std::string>{}) << "offline mode";
}

// At the least size of each mode, what the mode shows is all there: the
// least size follows the mode.
TEST_P(WindowLayout, AtItsLeastSizeEachModeShowsAllItsControls) {
  open();
  for (int item = 0; item <= kLastModeItem; ++item) {
    selectItem(item);
    settle();
    window().resize(window().minimumSize());
    settle();
    EXPECT_EQ(LayoutFaults(window()), std::vector<std::string>{}) << "mode item " << item;
    keepShot(item, "least");
    for (QLineEdit* edit : window().findChildren<QLineEdit*>()) {
      if (!edit->isVisible()) continue;
      EXPECT_EQ(edit->visibleRegion(), QRegion(edit->rect()))
          << edit->objectName().toStdString() << " in mode item " << item;
    }
  }
}

// 0: the platform's own font; then a desktop's larger one.
INSTANTIATE_TEST_SUITE_P(Fonts, WindowLayout, ::testing::Values(0, 11));

// Where the window should stand along one of the screen's axes: its own
// size when that fits, else what fits, never less than its least size;
// centred when it fits, else from the area's start, so its title bar
// stays on the screen.
struct Span {
  int start;
  int length;
};

Span Expected(int areaStart, int areaLength, int wanted, int least, int frame) {
  const int length = std::max(least, std::min(wanted, areaLength - frame));
  const int outer = length + frame;
  return {outer <= areaLength ? areaStart + (areaLength - outer) / 2 : areaStart, length};
}

std::string Describe(const QRect& r) {
  return std::to_string(r.width()) + "x" + std::to_string(r.height()) + " at " +
         std::to_string(r.x()) + "," + std::to_string(r.y());
}

QScreen* ScreenNamed(const QString& name) {
  for (QScreen* screen : QGuiApplication::screens()) {
    if (screen->name() == name) return screen;
  }
  return nullptr;
}

// The test screens by name (the test entry's screen configuration), at the
// scale that the run gives (QT_SCALE_FACTOR).
class WindowOnScreen : public WindowTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(WindowOnScreen, OpensWithinTheAvailableAreaCentredAndNeverBelowItsLeastSize) {
  QScreen* screen = ScreenNamed(GetParam());
  ASSERT_NE(screen, nullptr) << GetParam();
  open(screen);
  ASSERT_EQ(window().screen(), screen);
  const QRect area = screen->availableGeometry();
  const QRect frame = window().frameGeometry();
  const QSize least = window().minimumSize();
  const QSize extra = frame.size() - window().size();
  const Span x = Expected(area.x(), area.width(), 917, least.width(), extra.width());
  const Span y = Expected(area.y(), area.height(), 850, least.height(), extra.height());
  const QRect expected(x.start, y.start, x.length + extra.width(), y.length + extra.height());
  const QPoint offset = frame.topLeft() - expected.topLeft();
  EXPECT_TRUE(frame.size() == expected.size() && std::abs(offset.x()) <= 1 &&
              std::abs(offset.y()) <= 1)
      << Describe(frame) << ", expected " << Describe(expected) << " on the screen's area "
      << Describe(area) << ", least size " << least.width() << "x" << least.height();

  // A mode's least size that fits keeps the window on the screen: the
  // window does not grow on its way from one mode to the next.
  for (const int item : {4, 0, 3, 4, 2}) {
    selectItem(item);
    QApplication::sendPostedEvents();
    const QSize modeLeast = window().minimumSize() + extra;
    if (modeLeast.width() > area.width() || modeLeast.height() > area.height()) continue;
    EXPECT_TRUE(area.contains(window().frameGeometry()))
        << Describe(window().frameGeometry()) << " in mode item " << item << " on the area "
        << Describe(area);
  }
}

INSTANTIATE_TEST_SUITE_P(Screens, WindowOnScreen,
                         ::testing::Values("Desktop", "Laptop", "Small", "Large"));

TEST_F(WindowTest, TheWindowOpensCentredOnItsScreen) {
  open();
  const QRect screen = window().screen()->availableGeometry();
  ASSERT_TRUE(screen.contains(window().frameGeometry())) << "the test screen is too small";
  const QPoint offCentre = window().frameGeometry().center() - screen.center();
  EXPECT_LE(offCentre.manhattanLength(), 2)
      << "off centre by " << offCentre.x() << ", " << offCentre.y();
}

}  // namespace
}  // namespace movrano::testing
