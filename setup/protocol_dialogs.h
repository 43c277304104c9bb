#pragma once
// The protocol attribute dialogs: one per protocol group, each editing one client's
// download and upload filters and time-outs, and, for the terminal and remote protocols,
// its terminal mode and remote request characters. They are driven like outside
// components: set the properties, call Show. Each reads and writes on a connection of its
// own, opened from PropDNCpath; the caller reopens its own connection afterwards to see
// the changes.

#include <QDialog>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

enum class AttributeDialogKind {
    Standard,      // protocol ids 1, 2, 3 and any id without a dialog of its own
    Second,        // 4, BTR
    Third,         // 5, shop terminal
    LineTerminal,  // 6, 61 to 63
    Remote,        // 7, 71 to 73
    Mazatrol,      // 10, 101 to 103
};

// The dialog for a stored protocol id, and the settings key (section HELP) of its help file;
// "" when the id has no help file of its own.
struct AttributeDialogChoice {
    AttributeDialogKind kind = AttributeDialogKind::Standard;
    QString helpKey;
};
AttributeDialogChoice AttributeDialogForId(qint32 protocolId);

class ProtocolAttributeDialog : public QDialog {
    Q_OBJECT
    Q_PROPERTY(bool PropClientUSEID MEMBER PropClientUSEID)
    Q_PROPERTY(bool PropClientIDSEQUENTIAL MEMBER PropClientIDSEQUENTIAL)
    Q_PROPERTY(qint32 PropClientID MEMBER PropClientID)
    Q_PROPERTY(QString PropDNCpath MEMBER PropDNCpath)
    Q_PROPERTY(QString HelpName MEMBER HelpName)

public:
    // Show the client's node and port identifiers; with PropClientIDSEQUENTIAL also whether
    // the port identifier follows the port number.
    bool PropClientUSEID = false;
    bool PropClientIDSEQUENTIAL = false;
    qint32 PropClientID = 0;
    QString PropDNCpath;  // the connection string
    QString HelpName;     // the help file, Windows path text

    ProtocolAttributeDialog(AttributeDialogKind kind, QWidget* parent);
    ~ProtocolAttributeDialog() override;

    AttributeDialogKind Kind() const { return kind_; }
    // The section of the help file that describes this dialog.
    QString HelpSection() const;

    // Opens the connection, reads the client's rows and shows the dialog modally until OK
    // or Cancel. When the database or the client cannot be read it says so and returns.
    Q_INVOKABLE void Show();

    // How the Help button shows a help file at a section (the default hands the file to the
    // desktop's viewer). Returns the one it replaces; an empty one restores the default.
    using HelpShower = std::function<void(const QString& file, const QString& section)>;
    static HelpShower SetHelpShower(HelpShower shower);

private:
    struct State;

    void BuildPages();
    bool Load();
    void ShowIdentifiers();
    void cmdOK_Click();
    void cmdHelp_Click();

    AttributeDialogKind kind_;
    std::unique_ptr<State> state_;
};

// Creates the dialog of that kind (properties at their defaults).
std::unique_ptr<ProtocolAttributeDialog> CreateAttributeDialog(AttributeDialogKind kind,
                                                               QWidget* parent = nullptr);
