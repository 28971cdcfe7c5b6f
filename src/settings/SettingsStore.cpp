#include "settings/SettingsStore.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QString>
#include <QVariant>
#include <cstdlib>

#include "text/Errors.h"

namespace k32 {

namespace {

QString StoreFile() {
    return QString::fromUtf8(SettingsStorePath());
}

QString Key(std::string_view name) {
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

// Store errors are failed accesses to a file, like the other input/output errors.
[[noreturn]] void ThrowStoreError(const char* what, std::string_view name) {
    throw KestramaError(ErrorKind::InputOutput, std::string(what) + " '" + std::string(name) + "'",
                        SettingsStorePath());
}

}  // namespace

std::string SettingsStorePath() {
    if (const char* own = std::getenv("KESTRAMA32_SETTINGS"); own && *own)
        return own;
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/')
        config = xdg;
    else
        config = QDir::homePath().toStdString() + "/.config";
    return config + "/Kestrama32/Kestrama32.ini";
}

bool StoreKeyExists() {
    const QFileInfo file(StoreFile());
    return file.isFile() && file.isReadable();
}

std::string ReadSettingValue(std::string_view name) {
    if (!StoreKeyExists())
        return {};
    const QSettings store(StoreFile(), QSettings::IniFormat);
    const QString key = Key(name);
    if (!store.contains(key))
        return {};
    const QVariant value = store.value(key);
    switch (value.typeId()) {
        case QMetaType::QString:
            return value.toString().toStdString();
        case QMetaType::QByteArray:
            return value.toByteArray().toStdString();
        default:
            ThrowStoreError("Invalid data type for", name);
    }
}

void WriteSettingValue(std::string_view name, std::string_view text) {
    QSettings store(StoreFile(), QSettings::IniFormat);
    // Tested before the value is set: a value set on a store that cannot be written would stay
    // pending in memory and show in later reads although it never reached the file.
    if (!store.isWritable())
        ThrowStoreError("Failed to set data for", name);
    const QByteArray bytes(text.data(), static_cast<qsizetype>(text.size()));
    if (QByteArrayView(bytes).isValidUtf8())
        store.setValue(Key(name), QString::fromUtf8(bytes));
    else
        store.setValue(Key(name), bytes);
    store.sync();
    if (store.status() != QSettings::NoError)
        ThrowStoreError("Failed to set data for", name);
}

}  // namespace k32
