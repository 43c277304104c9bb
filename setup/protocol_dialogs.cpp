#include "setup/protocol_dialogs.h"

#include "base/messages.h"
#include "base/modal.h"
#include "base/paths.h"
#include "components/database_connection.h"
#include "db/protocol_attributes.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <limits>

namespace {

enum class FieldType { YesNo, Number, Text };

// Numbers are 16-bit columns; none of them (times, counts, sizes, a mode) can be negative.
constexpr int kNumberMin = 0;
constexpr int kNumberMax = std::numeric_limits<qint16>::max();
// The longest text an attribute column holds.
constexpr int kTextMax = 255;

struct FieldSpec {
    const char* column;
    FieldType type;
    const char* label;
};

struct GroupSpec {
    const char* table;
    const char* title;
    QList<FieldSpec> fields;
};

struct PageSpec {
    const char* title;
    QList<GroupSpec> groups;
};

const PageSpec kDownloadPage{
    "Download",
    {{"t_filter_table_down",
      "Download filters",
      {{"init", FieldType::YesNo, "Init"},
       {"strip_1stpercent", FieldType::YesNo, "Strip first %"},
       {"stop_Endpercent", FieldType::YesNo, "Stop at end %"},
       {"strip_header", FieldType::YesNo, "Strip header"},
       {"strip_all", FieldType::Number, "Strip all"},
       {"leader", FieldType::Number, "Leader"},
       {"trailer", FieldType::Number, "Trailer"},
       {"start_file_char", FieldType::Text, "Start of file character"},
       {"end_file_char", FieldType::Text, "End of file character"}}},
     {"t_timeout_table_down",
      "Download time-outs",
      {{"init_timeout", FieldType::Number, "Initial time-out"},
       {"interchar_timeout", FieldType::Number, "Inter-character time-out"},
       {"char_delay", FieldType::Number, "Character delay"},
       {"eob_delay", FieldType::Number, "End-of-block delay"},
       {"char_buffer", FieldType::Number, "Character buffer"}}}}};

const PageSpec kUploadPage{"Upload",
                           {{"t_filter_table_up",
                             "Upload filters",
                             {{"noparity_upload", FieldType::YesNo, "No parity on upload"},
                              {"trim_percent", FieldType::YesNo, "Trim %"},
                              {"crlf_adj", FieldType::YesNo, "CR/LF adjust"},
                              {"start_file_char", FieldType::Text, "Start of file character"},
                              {"end_file_char", FieldType::Text, "End of file character"},
                              {"filesave_mode", FieldType::Text, "File save mode"}}},
                            {"t_timeout_table_up",
                             "Upload time-outs",
                             {{"init_timeout", FieldType::Number, "Initial time-out"},
                              {"up_timeout", FieldType::Number, "Upload time-out"}}}}};

const PageSpec kTerminalPage{"Terminal",
                             {{"t_client_terminal_mode",
                               "Terminal mode",
                               {{"tmode_id", FieldType::Number, "Terminal mode"},
                                {"line_length", FieldType::Number, "Line length"},
                                {"line_number", FieldType::Number, "Line count"},
                                {"char_delay", FieldType::Number, "Character delay"}}},
                              {"t_dnc_server_clients",
                               "Terminal",
                               {{"terminal_enabled", FieldType::YesNo, "Terminal enabled"}}}}};

const PageSpec kRemotePage{
    "Remote",
    {{"t_remote",
      "Remote requests",
      {{"c_start_char", FieldType::Text, "Command start character"},
       {"c_end_char", FieldType::Text, "Command end character"},
       {"down_cmd_char", FieldType::Text, "Download command"},
       {"up_cmd_char", FieldType::Text, "Upload command"},
       {"path_cmd_char", FieldType::Text, "Path command"},
       {"down_n_offset_char", FieldType::Text, "Download with offset command"},
       {"redirect_cmd_char", FieldType::Text, "Redirect command"},
       {"kill_cmd_char", FieldType::Text, "Kill command"},
       {"files_cmd_char", FieldType::Text, "Files command"},
       {"upload_report", FieldType::YesNo, "Upload report"},
       {"report_name", FieldType::Text, "Report name"}}}}};

struct KindSpec {
    const char* title;
    const char* section;
    bool terminal;
    bool remote;
};

KindSpec SpecOf(AttributeDialogKind kind) {
    switch (kind) {
        case AttributeDialogKind::Standard:
            return {"Standard Protocol Attributes", "protocol-standard", false, false};
        case AttributeDialogKind::Second:
            return {"BTR Protocol Attributes", "protocol-btr", true, false};
        case AttributeDialogKind::Third:
            return {"Shop Terminal Protocol Attributes", "protocol-shop", true, false};
        case AttributeDialogKind::LineTerminal:
            return {"Line Terminal Protocol Attributes", "protocol-line", true, false};
        case AttributeDialogKind::Remote:
            return {"Remote Protocol Attributes", "protocol-remote", true, true};
        case AttributeDialogKind::Mazatrol:
            return {"MAZATROL Protocol Attributes", "protocol-mazatrol", true, true};
    }
    return {"Standard Protocol Attributes", "protocol-standard", false, false};
}

ProtocolAttributeDialog::HelpShower& Shower() {
    static ProtocolAttributeDialog::HelpShower shower;
    return shower;
}

void ShowHelpOnDesktop(const QString& file, const QString& section) {
    QUrl url = QUrl::fromLocalFile(file);
    url.setFragment(section);
    QDesktopServices::openUrl(url);
}

int ConnectionNumber() {
    static int next = 0;
    return ++next;
}

}  // namespace

AttributeDialogChoice AttributeDialogForId(qint32 protocolId) {
    switch (protocolId) {
        case 1:
        case 2:
        case 3:
            return {AttributeDialogKind::Standard, QStringLiteral("HELPFILENAME1")};
        case 4:
            return {AttributeDialogKind::Second, QStringLiteral("HELPFILENAME4")};
        case 5:
            return {AttributeDialogKind::Third, QStringLiteral("HELPFILENAME2")};
        case 6:
        case 61:
        case 62:
        case 63:
            return {AttributeDialogKind::LineTerminal, QStringLiteral("HELPFILENAME3")};
        case 7:
        case 71:
        case 72:
        case 73:
            return {AttributeDialogKind::Remote, QStringLiteral("HELPFILENAME5")};
        case 10:
        case 101:
        case 102:
        case 103:
            return {AttributeDialogKind::Mazatrol, QStringLiteral("HELPFILENAME5")};
        default:
            return {AttributeDialogKind::Standard, QString()};
    }
}

struct ProtocolAttributeDialog::State {
    struct Field {
        FieldSpec spec;
        QLineEdit* edit = nullptr;
        QCheckBox* check = nullptr;
        QString shownText;  // as loaded
        bool shownChecked = false;
    };
    struct Group {
        GroupSpec spec;
        QGroupBox* box = nullptr;
        bool rowFound = false;
        QList<Field> fields;
    };

    std::unique_ptr<DatabaseConnection> connection;
    QList<Group> groups;
    QTabWidget* tabs = nullptr;
    QLabel* lblClient = nullptr;
    QLabel* lblIdentifiers = nullptr;
    QPushButton* cmdHelp = nullptr;
    QString clientName;
    QString nodeId;
    QString portId;
    qint32 protocolId = 0;
    QVariant portNumber;
};

ProtocolAttributeDialog::ProtocolAttributeDialog(AttributeDialogKind kind, QWidget* parent)
    : QDialog(parent), kind_(kind), state_(std::make_unique<State>()) {
    const KindSpec spec = SpecOf(kind);
    setObjectName(QStringLiteral("frmProtocolAttributes"));
    setWindowTitle(QString::fromLatin1(spec.title));
    state_->connection = std::make_unique<DatabaseConnection>(
        QStringLiteral("ProtocolAttributes%1").arg(ConnectionNumber()));

    auto* layout = new QVBoxLayout(this);
    state_->lblClient = new QLabel(this);
    state_->lblClient->setObjectName(QStringLiteral("lblClient"));
    state_->lblIdentifiers = new QLabel(this);
    state_->lblIdentifiers->setObjectName(QStringLiteral("lblIdentifiers"));
    state_->lblIdentifiers->setVisible(false);
    layout->addWidget(state_->lblClient);
    layout->addWidget(state_->lblIdentifiers);
    state_->tabs = new QTabWidget(this);
    state_->tabs->setObjectName(QStringLiteral("tabAttributes"));
    layout->addWidget(state_->tabs);
    BuildPages();

    auto* buttons = new QHBoxLayout;
    auto* cmdOK = new QPushButton(QStringLiteral("&OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    auto* cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    state_->cmdHelp = new QPushButton(QStringLiteral("&Help"), this);
    state_->cmdHelp->setObjectName(QStringLiteral("cmdHelp"));
    for (QPushButton* button : {cmdOK, cmdCancel, state_->cmdHelp}) {
        button->setAutoDefault(false);  // Enter in a field must not save
    }
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    buttons->addWidget(state_->cmdHelp);
    layout->addLayout(buttons);

    connect(cmdOK, &QPushButton::clicked, this, &ProtocolAttributeDialog::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(state_->cmdHelp, &QPushButton::clicked, this, &ProtocolAttributeDialog::cmdHelp_Click);
}

ProtocolAttributeDialog::~ProtocolAttributeDialog() = default;

QString ProtocolAttributeDialog::HelpSection() const {
    return QString::fromLatin1(SpecOf(kind_).section);
}

ProtocolAttributeDialog::HelpShower ProtocolAttributeDialog::SetHelpShower(HelpShower shower) {
    HelpShower previous = Shower();
    Shower() = std::move(shower);
    return previous;
}

void ProtocolAttributeDialog::BuildPages() {
    const KindSpec spec = SpecOf(kind_);
    QList<const PageSpec*> pages{&kDownloadPage, &kUploadPage};
    if (spec.terminal) {
        pages << &kTerminalPage;
    }
    if (spec.remote) {
        pages << &kRemotePage;
    }
    for (const PageSpec* page : pages) {
        auto* widget = new QWidget(state_->tabs);
        auto* pageLayout = new QVBoxLayout(widget);
        for (const GroupSpec& groupSpec : page->groups) {
            State::Group group;
            group.spec = groupSpec;
            group.box = new QGroupBox(QString::fromLatin1(groupSpec.title), widget);
            auto* form = new QFormLayout(group.box);
            for (const FieldSpec& fieldSpec : groupSpec.fields) {
                State::Field field;
                field.spec = fieldSpec;
                // Tests and the help name a field by its table and column.
                const QString name = QString::fromLatin1(groupSpec.table) + QLatin1Char('.') +
                                     QString::fromLatin1(fieldSpec.column);
                const QString label = QString::fromLatin1(fieldSpec.label);
                if (fieldSpec.type == FieldType::YesNo) {
                    field.check = new QCheckBox(label, group.box);
                    field.check->setObjectName(name);
                    form->addRow(field.check);
                } else {
                    field.edit = new QLineEdit(group.box);
                    field.edit->setObjectName(name);
                    if (fieldSpec.type == FieldType::Number) {
                        field.edit->setToolTip(QStringLiteral("A whole number from %1 to %2")
                                                   .arg(kNumberMin)
                                                   .arg(kNumberMax));
                    }
                    form->addRow(label + QLatin1Char(':'), field.edit);
                }
                group.fields << field;
            }
            pageLayout->addWidget(group.box);
            state_->groups << group;
        }
        pageLayout->addStretch();
        state_->tabs->addTab(widget, QString::fromLatin1(page->title));
    }
}

bool ProtocolAttributeDialog::Load() {
    const QString title = windowTitle();
    if (!state_->connection->Open(PropDNCpath)) {
        ShowMessage(QStringLiteral("The configuration database cannot be opened: ") +
                        state_->connection->LastError(),
                    MsgButtons::Ok, MsgIcon::Critical, title);
        return false;
    }
    const std::optional<AttributeRow> client =
        ReadAttributeRow(*state_->connection, QStringLiteral("t_dnc_server_clients"),
                         {QStringLiteral("client_name"), QStringLiteral("protocol_id"),
                          QStringLiteral("NODE_ID"), QStringLiteral("PORT_ID")},
                         PropClientID);
    if (!client) {
        return false;  // reported
    }
    if (!client->found) {
        ShowMessage(QStringLiteral("There is no client with the id %1 in the configuration "
                                   "database.")
                        .arg(PropClientID),
                    MsgButtons::Ok, MsgIcon::Critical, title);
        return false;
    }
    state_->clientName = client->values.at(0).toString();
    state_->protocolId = client->values.at(1).toInt();
    state_->nodeId = client->values.at(2).toString();
    state_->portId = client->values.at(3).toString();

    for (State::Group& group : state_->groups) {
        QStringList columns;
        for (const State::Field& field : group.fields) {
            columns << QString::fromLatin1(field.spec.column);
        }
        const std::optional<AttributeRow> row = ReadAttributeRow(
            *state_->connection, QString::fromLatin1(group.spec.table), columns, PropClientID);
        if (!row) {
            return false;  // reported
        }
        group.rowFound = row->found;
        QString boxTitle = QString::fromLatin1(group.spec.title);
        if (!row->found) {
            boxTitle += QStringLiteral(" (not set up yet: OK adds them)");
        }
        group.box->setTitle(boxTitle);
        for (qsizetype i = 0; i < group.fields.size(); ++i) {
            State::Field& field = group.fields[i];
            const QVariant value = row->found ? row->values.at(i) : QVariant();
            if (field.check) {
                // Yes/no: any non-zero number is yes.
                field.shownChecked = !value.isNull() && value.toLongLong() != 0;
                field.check->setChecked(field.shownChecked);
            } else {
                field.shownText = value.isNull() ? QString() : value.toString();
                field.edit->setText(field.shownText);
            }
        }
    }

    if (PropClientUSEID && PropClientIDSEQUENTIAL) {
        const std::optional<AttributeRow> mode =
            ReadAttributeRow(*state_->connection, QStringLiteral("t_client_mode"),
                             {QStringLiteral("cnc_comport")}, PropClientID);
        if (mode && mode->found) {
            state_->portNumber = mode->values.at(0);
        }
    }
    state_->lblClient->setText(QStringLiteral("Client %1, protocol id %2")
                                   .arg(state_->clientName)
                                   .arg(state_->protocolId));
    ShowIdentifiers();
    state_->cmdHelp->setEnabled(!HelpName.isEmpty() && QFileInfo::exists(NativePath(HelpName)));
    return true;
}

void ProtocolAttributeDialog::ShowIdentifiers() {
    state_->lblIdentifiers->setVisible(PropClientUSEID);
    if (!PropClientUSEID) {
        return;
    }
    const auto shown = [](const QString& id) { return id.isEmpty() ? QStringLiteral("-") : id; };
    QString text =
        QStringLiteral("Node ID %1, Port ID %2").arg(shown(state_->nodeId), shown(state_->portId));
    const int port = state_->portNumber.toInt();
    if (PropClientIDSEQUENTIAL && port > 0) {
        const QString expected = QStringLiteral("%1").arg(port, 3, 10, QLatin1Char('0'));
        text += state_->portId == expected
                    ? QStringLiteral(" (follows COM %1)").arg(port)
                    : QStringLiteral(" (COM %1 would give Port ID %2)").arg(port).arg(expected);
    }
    state_->lblIdentifiers->setText(text);
}

void ProtocolAttributeDialog::Show() {
    if (Load()) {
        ShowModal(*this);
    }
    state_->connection->Close();
}

void ProtocolAttributeDialog::cmdOK_Click() {
    QList<AttributeChange> changes;
    std::optional<qint64> newEobDelay;
    for (const State::Group& group : state_->groups) {
        AttributeChange change;
        change.table = QString::fromLatin1(group.spec.table);
        change.insertRow = !group.rowFound;
        for (const State::Field& field : group.fields) {
            const QString column = QString::fromLatin1(field.spec.column);
            const QString where = QStringLiteral("%1, %2").arg(
                QString::fromLatin1(group.spec.title), QString::fromLatin1(field.spec.label));
            if (field.check) {
                if (field.check->isChecked() != field.shownChecked) {
                    change.columns << column;
                    change.values << SqlValue::YesNo(field.check->isChecked());
                }
                continue;
            }
            const QString text = field.edit->text();
            if (text == field.shownText) {
                continue;  // a stored value is kept as it is
            }
            QWidget* page = field.edit->parentWidget()->parentWidget();
            if (field.spec.type == FieldType::Number) {
                bool isNumber = false;
                const qint64 number = text.trimmed().toLongLong(&isNumber);
                if (!isNumber || number < kNumberMin || number > kNumberMax) {
                    state_->tabs->setCurrentWidget(page);
                    field.edit->setFocus();
                    field.edit->selectAll();
                    ShowMessage(QStringLiteral("%1: \"%2\" is not a whole number from %3 to %4. "
                                               "Nothing was saved.")
                                    .arg(where, text)
                                    .arg(kNumberMin)
                                    .arg(kNumberMax),
                                MsgButtons::Ok, MsgIcon::Critical, windowTitle());
                    return;
                }
                change.columns << column;
                change.values << SqlValue::Number(number);
                if (change.table == QLatin1String("t_timeout_table_down") &&
                    column == QLatin1String("eob_delay")) {
                    newEobDelay = number;
                }
            } else {
                if (text.size() > kTextMax) {
                    state_->tabs->setCurrentWidget(page);
                    field.edit->setFocus();
                    ShowMessage(QStringLiteral("%1: the text has %2 characters; at most %3 fit. "
                                               "Nothing was saved.")
                                    .arg(where)
                                    .arg(text.size())
                                    .arg(kTextMax),
                                MsgButtons::Ok, MsgIcon::Critical, windowTitle());
                    return;
                }
                change.columns << column;
                change.values << SqlValue::Text(text);
            }
        }
        if (!change.columns.isEmpty()) {
            changes << change;
        }
    }
    // The client's BTS flag says whether its end-of-block delay is 0; it follows at once.
    if (newEobDelay) {
        changes << AttributeChange{QStringLiteral("t_dnc_server_clients"),
                                   false,
                                   {QStringLiteral("bts_eobdelay")},
                                   {SqlValue::YesNo(*newEobDelay == 0)}};
    }
    if (WriteAttributeRows(*state_->connection, PropClientID, changes)) {
        accept();
    }
}

void ProtocolAttributeDialog::cmdHelp_Click() {
    const QString file = NativePath(HelpName);
    if (Shower()) {
        Shower()(file, HelpSection());
    } else {
        ShowHelpOnDesktop(file, HelpSection());
    }
}

std::unique_ptr<ProtocolAttributeDialog> CreateAttributeDialog(AttributeDialogKind kind,
                                                               QWidget* parent) {
    return std::make_unique<ProtocolAttributeDialog>(kind, parent);
}
