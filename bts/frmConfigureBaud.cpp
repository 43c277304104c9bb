#include "bts/frmConfigureBaud.h"

#include "base/settings.h"

#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

const QString kSection = QStringLiteral("BTS");
const QString kKey = QStringLiteral("BTSCONFIGBAUD");

}  // namespace

frmConfigureBaud::frmConfigureBaud(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmConfigureBaud"));
    setWindowTitle(QStringLiteral("Configure Start Baud"));
    auto* layout = new QVBoxLayout(this);
    auto* fraBaud = new QGroupBox(QStringLiteral("Start Baud"), this);
    fraBaud->setObjectName(QStringLiteral("fraBaud"));
    auto* frame = new QVBoxLayout(fraBaud);
    const char* const names[4] = {"opt1200", "opt2400", "opt4800", "opt9600"};
    const char* const rates[4] = {"1200", "2400", "4800", "9600"};
    for (int i = 0; i < 4; ++i) {
        options_[i] = new QRadioButton(QLatin1String(rates[i]), fraBaud);
        options_[i]->setObjectName(QLatin1String(names[i]));
        frame->addWidget(options_[i]);
    }
    layout->addWidget(fraBaud);

    BtsConfigBaud =
        SettingToInt16(ReadIniValue(SettingsFileName, kSection, kKey, QStringLiteral("3")));
    const int index = BtsConfigBaud >= 0 && BtsConfigBaud <= 2 ? BtsConfigBaud : 3;
    options_[index]->setChecked(true);
}

void frmConfigureBaud::done(int result) {
    for (int i = 0; i < 4; ++i) {
        if (options_[i]->isChecked()) {
            WriteIniValue(kSection, kKey, QString::number(i), SettingsFileName);
            BtsConfigBaud = qint16(i);
        }
    }
    QDialog::done(result);
}
