#include "platform/qt/export_size_dialog.hpp"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>

#include "platform/qt/convert.hpp"
#include "platform/qt/desktop.hpp"

namespace velmora::qt {

namespace {

constexpr double kCmPerInch = 2.54;
constexpr double kLargestSideCm = 100;  // what an export takes at most

// Lays `grid` out above OK and Cancel, and whether the user pressed OK.
bool accepted(QDialog& d, QGridLayout* grid) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &d, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &d, &QDialog::reject);
  auto* layout = new QVBoxLayout(&d);
  layout->addLayout(grid);
  layout->addWidget(buttons);
  return d.exec() == QDialog::Accepted;
}

}  // namespace

std::optional<gfx::ExportSize> ask_for_export_size(std::string_view title,
                                                   const gfx::ExportSize& start,
                                                   std::array<double, 2> window_px, bool raster,
                                                   QWidget* parent) {
  QDialog d(parent);
  d.setObjectName("exportSizeDialog");
  d.setWindowTitle(qstr(title));
  const long wpx = std::lround(window_px[0]), hpx = std::lround(window_px[1]);
  auto* window =
      new QRadioButton(QString("The window's size (%1 × %2 pixels on screen)").arg(wpx).arg(hpx));
  window->setObjectName("windowSize");
  auto* custom = new QRadioButton("Custom:");
  custom->setObjectName("customSize");
  auto side = [](const char* name) {
    auto* box = new QDoubleSpinBox;
    box->setObjectName(name);
    box->setDecimals(2);
    box->setSingleStep(0.5);
    return box;
  };
  QDoubleSpinBox* width = side("width");
  QDoubleSpinBox* height = side("height");
  auto* unit = new QComboBox;
  unit->setObjectName("unit");
  unit->addItems({"cm", "in"});
  auto* dpi = new QSpinBox;
  dpi->setObjectName("dpi");
  dpi->setRange(10, 2400);
  dpi->setSingleStep(50);
  dpi->setSuffix(" dpi");
  auto* pixels = new QLabel;
  pixels->setObjectName("pixels");
  // The text size: its lowest value stands for the size's own.
  auto* text = new QSpinBox;
  text->setObjectName("textSize");
  text->setRange(static_cast<int>(gfx::kSmallestTextPt) - 1, static_cast<int>(gfx::kLargestTextPt));
  text->setSpecialValueText("Automatic (8 pt up to 9 cm wide, else 10 pt)");
  text->setSuffix(" pt");
  text->setValue(start.text_pt > 0 ? static_cast<int>(std::lround(start.text_pt))
                                   : text->minimum());
  auto* preset = new QComboBox;
  preset->setObjectName("preset");
  preset->addItems({"Choose a preset…", "Journal column: 8.5 × 7 cm", "Journal page: 17 × 12 cm",
                    "Talk slide: 16:9, 25 cm wide, 18 pt"});

  // The unit sets the largest side; switching it converts the sides.
  auto set_unit = [&](bool inches) {
    const double top = inches ? kLargestSideCm / kCmPerInch : kLargestSideCm;
    for (QDoubleSpinBox* b : {width, height}) {
      b->setRange(0.1, std::floor(top * 100) / 100);
      b->setSuffix(inches ? " in" : " cm");
    }
  };
  set_unit(start.inches);
  unit->setCurrentIndex(start.inches ? 1 : 0);
  width->setValue(start.width);
  height->setValue(start.height);
  dpi->setValue(static_cast<int>(std::lround(start.dpi)));
  (start.custom ? custom : window)->setChecked(true);

  const double screen_dpi = primary_screen_dpi().value_or(96);
  auto update = [&] {
    const bool own = custom->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{width, height, unit}) w->setEnabled(own);
    const double per_inch = unit->currentIndex() == 1 ? 1 : kCmPerInch;
    if (!raster) {
      pixels->setText(own ? QString("A page of %1 × %2 %3; a vector picture has no resolution.")
                                .arg(width->value())
                                .arg(height->value())
                                .arg(unit->currentText())
                          : QString("A vector picture has no resolution."));
      return;
    }
    const double w =
        own ? width->value() / per_inch * dpi->value() : window_px[0] * dpi->value() / screen_dpi;
    const double h =
        own ? height->value() / per_inch * dpi->value() : window_px[1] * dpi->value() / screen_dpi;
    pixels->setText(QString("The picture: %1 × %2 pixels").arg(std::lround(w)).arg(std::lround(h)));
  };
  QObject::connect(unit, &QComboBox::currentIndexChanged, &d, [&](int index) {
    const bool inches = index == 1;
    const double k = inches ? 1 / kCmPerInch : kCmPerInch;
    const double w = width->value() * k, h = height->value() * k;
    set_unit(inches);
    width->setValue(w);
    height->setValue(h);
    update();
  });
  QObject::connect(preset, &QComboBox::activated, &d, [&](int index) {
    struct Preset {
      double w, h, pt;
    };
    static constexpr Preset kPresets[] = {{8.5, 7, 0}, {17, 12, 0}, {25, 14.0625, 18}};
    if (index < 1 || index > 3) return;
    const Preset& p = kPresets[index - 1];
    custom->setChecked(true);
    unit->setCurrentIndex(0);
    width->setValue(p.w);
    height->setValue(p.h);
    text->setValue(p.pt > 0 ? static_cast<int>(p.pt) : text->minimum());
    preset->setCurrentIndex(0);
    update();
  });
  QObject::connect(custom, &QRadioButton::toggled, &d, [&] { update(); });
  QObject::connect(width, &QDoubleSpinBox::valueChanged, &d, [&] { update(); });
  QObject::connect(height, &QDoubleSpinBox::valueChanged, &d, [&] { update(); });
  QObject::connect(dpi, &QSpinBox::valueChanged, &d, [&] { update(); });
  dpi->setEnabled(raster);
  if (!raster) dpi->setToolTip("SVG, PDF and EPS are vector pictures: they have no resolution.");

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel("Preset:"), 4, 0);
  grid->addWidget(preset, 4, 1, 1, 4);
  grid->addWidget(new QLabel("Text:"), 5, 0);
  grid->addWidget(text, 5, 1, 1, 4);
  grid->addWidget(new QLabel("Size:"), 0, 0);
  grid->addWidget(window, 0, 1, 1, 4);
  grid->addWidget(custom, 1, 1);
  auto* times = new QLabel("×");
  auto* sides = new QHBoxLayout;
  sides->addWidget(width);
  sides->addWidget(times);
  sides->addWidget(height);
  sides->addWidget(unit);
  grid->addLayout(sides, 1, 2, 1, 3);
  grid->addWidget(new QLabel("Resolution:"), 2, 0);
  grid->addWidget(dpi, 2, 1, 1, 2);
  grid->addWidget(pixels, 3, 1, 1, 4);
  update();
  if (!accepted(d, grid)) return std::nullopt;
  gfx::ExportSize out = start;
  out.custom = custom->isChecked();
  out.inches = unit->currentIndex() == 1;
  out.width = width->value();
  out.height = height->value();
  out.dpi = dpi->value();
  out.text_pt = text->value() == text->minimum() ? 0 : text->value();
  return out;
}

std::optional<gfx::AnimationSettings> ask_for_animation(std::string_view title,
                                                        const gfx::AnimationSettings& start,
                                                        QWidget* parent) {
  QDialog d(parent);
  d.setObjectName("animationDialog");
  d.setWindowTitle(qstr(title));
  auto whole = [](const char* name, int lo, int hi, int value, const char* suffix) {
    auto* box = new QSpinBox;
    box->setObjectName(name);
    box->setRange(lo, hi);
    box->setValue(value);
    box->setSuffix(suffix);
    return box;
  };
  // A frame is printed at 96 pixels an inch, and a print is at most a metre.
  const int side = static_cast<int>(std::floor(kLargestSideCm / kCmPerInch * 96));
  QSpinBox* frames = whole("frames", 1, 1000, start.frames, " frames");
  QSpinBox* width = whole("width", 16, side, start.width, " px");
  QSpinBox* height = whole("height", 16, side, start.height, " px");
  QSpinBox* fps = whole("fps", 1, 60, start.fps, " a second");
  auto* top = new QDoubleSpinBox;
  top->setObjectName("scaleTop");
  top->setDecimals(4);
  top->setRange(0, 1e6);
  top->setSpecialValueText("The display's (fixed, else the larger end's)");
  top->setValue(start.scale_top);
  auto* size = new QComboBox;
  size->addItems({"Choose a size…", "800 × 600", "1280 × 720 (720p)", "1920 × 1080 (1080p)"});
  QObject::connect(size, &QComboBox::activated, &d, [&](int index) {
    static constexpr int kSizes[][2] = {{800, 600}, {1280, 720}, {1920, 1080}};
    if (index < 1 || index > 3) return;
    width->setValue(kSizes[index - 1][0]);
    height->setValue(kSizes[index - 1][1]);
    size->setCurrentIndex(0);
  });
  auto* length = new QLabel;
  auto update = [&] {
    length->setText(QString("A GIF or video of %1 s; PNG frames are single pictures.")
                        .arg(double(frames->value()) / fps->value(), 0, 'g', 3));
  };
  QObject::connect(frames, &QSpinBox::valueChanged, &d, [&] { update(); });
  QObject::connect(fps, &QSpinBox::valueChanged, &d, [&] { update(); });
  update();

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel("Frames:"), 0, 0);
  grid->addWidget(frames, 0, 1, 1, 3);
  grid->addWidget(new QLabel("Size:"), 1, 0);
  grid->addWidget(width, 1, 1);
  grid->addWidget(new QLabel("×"), 1, 2);
  grid->addWidget(height, 1, 3);
  grid->addWidget(size, 2, 1, 1, 3);
  grid->addWidget(new QLabel("Speed:"), 3, 0);
  grid->addWidget(fps, 3, 1, 1, 3);
  grid->addWidget(length, 4, 1, 1, 3);
  grid->addWidget(new QLabel("Heat scale top:"), 5, 0);
  grid->addWidget(top, 5, 1, 1, 3);
  if (!accepted(d, grid)) return std::nullopt;
  gfx::AnimationSettings out;
  out.frames = frames->value();
  out.width = width->value();
  out.height = height->value();
  out.fps = fps->value();
  out.scale_top = top->value();
  return out;
}

}  // namespace velmora::qt
