#pragma once
// The About window: the program's title and version, and a way to the platform's
// system-information tool.

#include <QDialog>

#include <memory>

namespace Ui {
class frmAbout;
}

class frmAbout : public QDialog {
    Q_OBJECT
public:
    enum class RegistryRoot { LocalMachine };

    explicit frmAbout(QWidget* parent = nullptr);
    ~frmAbout() override;

    // "Version major.minor.revisionC" for the program's own version.
    static QString VersionText();

    // Starts the system-information tool the registry names, or says it is unavailable.
    static void StartSysInfo();
    // A string or 32-bit number value of a registry key as text; false when the key or
    // value cannot be read (always, where there is no registry).
    static bool GetKeyValue(RegistryRoot root, const QString& keyPath, const QString& valueName,
                            QString& value);

private:
    std::unique_ptr<Ui::frmAbout> ui_;
};
