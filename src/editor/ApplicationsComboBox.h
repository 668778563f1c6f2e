#pragma once

#include <QComboBox>
#include <functional>
#include <string>

class KVSysApplicationsController;

// The known applications, by name with their icons, and "Add application..." at the end, which asks for
// a program file, catalogues it and selects it. Says which application the user chose; setting one from
// the model says nothing.
class CKVApplicationsComboBox final : public QComboBox {
    Q_OBJECT

public:
    // Asks the user for a program file; an empty text when the user cancelled.
    using ProgramChooser = std::function<QString(QWidget* parent)>;

    explicit CKVApplicationsComboBox(KVSysApplicationsController& applications, QWidget* parent = nullptr);

    // Selects the application of `id`; one the catalogue does not know is listed by its identifier.
    void setApplication(const std::string& id);
    std::string application() const;
    // Lists the catalogue again (it grows while programs start), keeping the selection.
    void reload();
    // The file dialog by default; tests put their own answer in.
    void setProgramChooser(ProgramChooser chooser) { m_chooser = std::move(chooser); }

    static QString addApplicationText();

    // The list is read again each time it opens: programs are catalogued as they start, and layouts may
    // have been added to the session.
    void showPopup() override;

signals:
    void applicationChosen(const QString& id);

private:
    void onActivated(int index);
    void addApplication();
    int indexOf(const std::string& id) const;

    KVSysApplicationsController& m_applications;
    ProgramChooser m_chooser;
    std::string m_selected;
};
