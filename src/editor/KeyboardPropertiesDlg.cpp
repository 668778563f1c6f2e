#include "editor/KeyboardPropertiesDlg.h"

#include "devicectl/DeviceController.h"
#include "editor/EditorServices.h"
#include "editor/EditorStatus.h"
#include "editor/SliderScale.h"
#include "shell/MainController.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

namespace dc = corvane::devicectl;

namespace {

// The sleep slider's marks sit on its breakpoints; the last one is "never".
QList<CKVSliderScale::Mark> sleepMarks() {
    return {{10, QStringLiteral("30 sec")}, {20, QStringLiteral("1 min")},  {30, QStringLiteral("5 min")},
            {40, QStringLiteral("30 min")}, {50, QStringLiteral("60 min")}, {60, QStringLiteral("\u221E")}};
}

QList<CKVSliderScale::Mark> brightnessMarks() {
    QList<CKVSliderScale::Mark> marks;
    for (int value = 0; value <= dc::kBrightnessSliderMaximum; value += 10)
        marks.append({value, QString::number(value)});
    return marks;
}

QSlider* makeSlider(int maximum, int tickInterval, QWidget* parent) {
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setRange(0, maximum);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setTickInterval(tickInterval);
    slider->setSingleStep(1);
    slider->setPageStep(10);
    return slider;
}

QLabel* captionFor(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

} // namespace

CKVKeyboardPropertiesDlg::CKVKeyboardPropertiesDlg(KVEditorServices& services, QWidget* parent)
    : QDialog(parent), m_services(services) {
    setWindowTitle(tr("Properties"));
    setObjectName(QStringLiteral("CKVKeyboardPropertiesDlg"));
    buildSleep();
    buildBrightness();
    buildBoxes();

    m_error = new QLabel(this);
    m_error->setWordWrap(true);
    m_error->setAccessibleName(tr("Error"));
    m_error->hide();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* close = buttons->button(QDialogButtonBox::Close);
    close->setText(tr("Close"));
    close->setAccessibleName(tr("Close"));
    close->setToolTip(tr("Close this dialog; the settings are kept already"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* grid = new QGridLayout;
    grid->addWidget(captionFor(tr("Sleep timeout:"), m_sleep, this), 0, 0, 1, 2);
    grid->addWidget(m_sleep, 1, 0);
    grid->addWidget(m_delay, 1, 1);
    grid->addWidget(m_sleepScale, 2, 0);
    grid->setRowMinimumHeight(3, fontMetrics().height() / 2);
    grid->addWidget(captionFor(tr("Keyboard brightness:"), m_brightness, this), 4, 0, 1, 2);
    grid->addWidget(m_brightness, 5, 0);
    grid->addWidget(m_brightnessScale, 6, 0);
    grid->addWidget(m_auto, 7, 0, 1, 2);
    grid->addWidget(m_drive, 8, 0, 1, 2);
    grid->setColumnStretch(0, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(m_error);
    layout->addStretch(1);
    layout->addWidget(buttons);
    setTabOrder(m_sleep, m_brightness);
    setTabOrder(m_brightness, m_auto);
    setTabOrder(m_auto, m_drive);
    setTabOrder(m_drive, close);
}

void CKVKeyboardPropertiesDlg::buildSleep() {
    m_sleep = makeSlider(dc::kSleepSliderMaximum, 1, this);
    m_sleep->setAccessibleName(tr("Sleep timeout"));
    m_sleep->setToolTip(tr("How long the keyboard waits without a key press before its displays sleep"));
    // Placed without a signal: opening the dialog changes nothing (a stored 420 s stays 420 s).
    m_sleep->setValue(m_services.device.SleepSliderPosition());
    connect(m_sleep, &QSlider::valueChanged, this, &CKVKeyboardPropertiesDlg::sleepMoved);
    connect(m_sleep, &QSlider::sliderReleased, this, &CKVKeyboardPropertiesDlg::save);

    // The delay in force is shown from the start, so a delay between two positions is not hidden.
    m_delay =
        new QLabel(QString::fromStdString(dc::sleepDelayText(m_services.device.Settings().sleepDelay)), this);
    m_delay->setAccessibleName(tr("Sleep delay"));
    m_delay->setToolTip(tr("The chosen sleep delay"));
    m_delay->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("59 min 54 sec  ")));

    m_sleepScale = new CKVSliderScale(*m_sleep, sleepMarks(), this);
    m_sleepScale->setAccessibleName(tr("Sleep timeout scale"));
}

void CKVKeyboardPropertiesDlg::buildBrightness() {
    m_brightness = makeSlider(dc::kBrightnessSliderMaximum, 2, this);
    m_brightness->setAccessibleName(tr("Keyboard brightness"));
    m_brightness->setToolTip(tr("The brightness of the key displays, 0 to 100"));
    m_brightness->setValue(int(std::min(m_services.device.Settings().brightness, dc::kMaxBrightness)));
    connect(m_brightness, &QSlider::valueChanged, this, &CKVKeyboardPropertiesDlg::brightnessMoved);
    connect(m_brightness, &QSlider::sliderReleased, this, &CKVKeyboardPropertiesDlg::save);

    m_brightnessScale = new CKVSliderScale(*m_brightness, brightnessMarks(), this);
    m_brightnessScale->setAccessibleName(tr("Keyboard brightness scale"));
}

void CKVKeyboardPropertiesDlg::buildBoxes() {
    const KVDeviceSettings& settings = m_services.device.Settings();
    m_auto = new QCheckBox(tr("Adjust automatically"), this);
    m_auto->setAccessibleName(tr("Adjust automatically"));
    m_auto->setToolTip(tr("Let the keyboard adjust its brightness to the light around it"));
    m_auto->setChecked(settings.autoBrightness);
    connect(m_auto, &QCheckBox::toggled, this, [this](bool automatic) {
        m_services.device.OnAutoBrightness(automatic);
        save();
    });

    m_drive = new QCheckBox(tr("Show Corvane virtual drive"), this);
    m_drive->setAccessibleName(tr("Show Corvane virtual drive"));
    m_drive->setToolTip(tr("Mount the keyboard's own drive so that it shows in the file manager"));
    m_drive->setChecked(settings.showVirtualDrive);
    connect(m_drive, &QCheckBox::toggled, this, [this](bool show) {
        m_services.device.OnShowVirtualDrive(show);
        save();
    });
}

void CKVKeyboardPropertiesDlg::sleepMoved(int position) {
    m_delay->setText(QString::fromStdString(m_services.device.OnSleepSlider(position)));
    saveUnlessDragged(*m_sleep);
}

void CKVKeyboardPropertiesDlg::brightnessMoved(int position) {
    m_services.device.OnBrightnessSlider(position);
    saveUnlessDragged(*m_brightness);
}

void CKVKeyboardPropertiesDlg::saveUnlessDragged(const QSlider& slider) {
    if (!slider.isSliderDown())
        save();
}

void CKVKeyboardPropertiesDlg::save() {
    if (m_services.main.SaveDeviceSettings()) {
        m_error->hide();
        return;
    }
    const QString text = tr("The keyboard settings could not be saved to the profile; they are sent to the "
                            "keyboard and saved again when the editor closes.");
    m_error->setText(text);
    m_error->show();
    corvane::editor::showStatus(this, text);
}
