#pragma once

#include <QDialog>

class CKVSliderScale;
class QCheckBox;
class QLabel;
class QSlider;
struct KVEditorServices;

// The keyboard's "Properties": sleep delay, brightness, the virtual drive. It holds no copy of the
// settings: every change goes to the device controller, which sends it to the keyboard at once, and is
// written to the profile at once (the layers are saved only when the editor closes).
class CKVKeyboardPropertiesDlg final : public QDialog {
public:
    CKVKeyboardPropertiesDlg(KVEditorServices& services, QWidget* parent = nullptr);

    QSlider* sleepSlider() const { return m_sleep; }
    QLabel* delayText() const { return m_delay; }
    QSlider* brightnessSlider() const { return m_brightness; }
    QCheckBox* autoBrightnessBox() const { return m_auto; }
    QCheckBox* virtualDriveBox() const { return m_drive; }
    // Says why the last change could not be kept; hidden while all is well.
    QLabel* errorText() const { return m_error; }

private:
    void buildSleep();
    void buildBrightness();
    void buildBoxes();
    void sleepMoved(int position);
    void brightnessMoved(int position);
    // A change while the handle is dragged is sent at once but kept when the handle is let go.
    void saveUnlessDragged(const QSlider& slider);
    void save();

    KVEditorServices& m_services;
    QSlider* m_sleep = nullptr;
    QLabel* m_delay = nullptr;
    CKVSliderScale* m_sleepScale = nullptr;
    QSlider* m_brightness = nullptr;
    CKVSliderScale* m_brightnessScale = nullptr;
    QCheckBox* m_auto = nullptr;
    QCheckBox* m_drive = nullptr;
    QLabel* m_error = nullptr;
};
