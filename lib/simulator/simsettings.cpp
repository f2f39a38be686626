#include "simsettings.h"

#include "simprotocol.h"

namespace ktsim {

namespace {

struct RowText
{
    const char* key;
    int get;
    int set;
    const char* params;  // echoed before the value, comma-separated
    const char* initial; // comma-separated; "$NAME" takes a device information field
};

// Family 437 (the RV8's family). Code 30 writes repeat the last job and code 27 is task
// control: the cutter model answers those itself.
// clang-format off
const RowText family437[] = {
    // key                  get   set   params  initial
    {"WORK_MODE",            64,   23,  "",     "0"},
    {"SCALE_X",              61,   20,  "",     "100"},
    {"SCALE_Y",              62,   21,  "",     "100"},
    {"CAMERA_OFFSET",        18,   17,  "",     "0,-20"},
    {"CAMERA_OFFSET_GROUP",  16,   15,  "",     "0,0"},
    {"WORKAREA",             63,   22,  "",     "200,1000"},
    {"SPEED",                 7,    6,  "0",    "100"},
    {"PRESSURE",              9,    8,  "0",    "300"},
    {"MARGIN",             1002, 1003,  "",     "20"},
    {"TASK_MODE",            32,   32,  "",     "0"},
    {"TASK_COPIES",          30,    0,  "",     "1"},
    {"SET_MARK",              0, 1000,  "",     "1"},
    {"FIRMWARE",             51,    0,  "",     "$FIRMWARE"},
    {"DEVICE_ID",            45,   44,  "",     "$DEVICE_ID"},
    {"PCB_ID",               47,   46,  "",     "$PCB_ID"},
    {"PCB_VERSION",          49,   48,  "",     "$PCB_VERSION"},
};
// clang-format on

// Family 157: most settings are registers (below); these are its numbered commands.
// clang-format off
const RowText family157[] = {
    // key                  get   set   params  initial
    {"QRCODE_COPIES",        54,   54,  "",     "1"},
    {"HEARTBEAT",          1010, 1010,  "",     "2"},
    {"DEVICE_UNIQUE_ID",     57,    0,  "",     "$UNIQUE_ID"},
    {"DEVICE_MODEL",          0,    0,  "",     "KT-VT4410"},
    {"FIRMWARE",              0,    0,  "",     "$FIRMWARE"},
    {"DEVICE_ID",            45,   44,  "",     "$DEVICE_ID"},
    {"PCB_ID",               47,   46,  "",     "$PCB_ID"},
    {"PCB_VERSION",          49,   48,  "",     "$PCB_VERSION"},
    {"DEVICE_CONFIG_NO",      0,    0,  "",     "$CONFIG_NO"},
};
// clang-format on

// Read as one record: machine information, six fields in this order.
const char* const deviceInfoParts = "DEVICE_MODEL,DEVICE_ID,PCB_ID,PCB_VERSION,FIRMWARE,DEVICE_CONFIG_NO";

// Family-157 registers that hold something other than 0 after a reset.
// clang-format off
const QPair<int, const char*> registers157[] = {
    // register  initial    meaning
    {1,   "200"},       // head 1 speed (mm/s)
    {2,   "100"},       // head 1 pressure
    {3,   "200"},       // head 2 speed
    {4,   "100"},       // head 2 pressure
    {24,  "10000"},     // scale x (1/10000)
    {25,  "10000"},     // scale y
    {26,  "300"},       // pen-up speed
    {28,  "1200"},      // working width x (0.5 mm)
    {29,  "2000"},      // working width y
    {125, "1"},         // task control: running
    {135, "100"},       // feed distance (mm)
    {136, "300"},       // beam centre distance (mm)
    {137, "500"},       // air pump delay (ms)
    {138, "100"},       // feed speed (mm/s)
};
// clang-format on

QStringList splitList(const char* text)
{
    const QString s = QString::fromUtf8(text);
    return s.isEmpty() ? QStringList() : s.split(QLatin1Char(','));
}

} // namespace

SettingsStore::SettingsStore(int family, const DeviceInfo& deviceInfo, const SettingQuirks& settingQuirks)
    : familyCode(family), info(deviceInfo), quirks(settingQuirks)
{
    auto add = [this](const RowText& text) {
        rows.append(
            {QString::fromUtf8(text.key), text.get, text.set, splitList(text.params), {}, splitList(text.initial)});
    };
    if (family == 157) {
        for (const RowText& text : family157)
            add(text);
        rows.append({QStringLiteral("DEVICE_INFO"), 2, 0, {}, splitList(deviceInfoParts), {}});
    } else {
        for (const RowText& text : family437)
            add(text);
    }
    factoryReset();
}

void SettingsStore::factoryReset()
{
    const QHash<QString, QString> fields = {
        {QStringLiteral("$FIRMWARE"), info.firmware},  {QStringLiteral("$DEVICE_ID"), info.deviceId},
        {QStringLiteral("$PCB_ID"), info.pcbId},       {QStringLiteral("$PCB_VERSION"), info.pcbVersion},
        {QStringLiteral("$UNIQUE_ID"), info.uniqueId}, {QStringLiteral("$CONFIG_NO"), info.configNo},
    };
    settingValues.clear();
    for (const Row& row : rows) {
        QStringList values;
        for (const QString& v : row.initial)
            values << fields.value(v, v);
        settingValues.insert(row.key, values);
    }
    registerValues.clear();
    if (familyCode == 157) {
        for (const auto& reg : registers157)
            registerValues.insert(reg.first, QString::fromUtf8(reg.second));
    }
}

const SettingsStore::Row* SettingsStore::rowByGet(int code) const
{
    for (const Row& row : rows) {
        if (code != 0 && row.get == code)
            return &row;
    }
    return nullptr;
}

const SettingsStore::Row* SettingsStore::rowBySet(int code) const
{
    for (const Row& row : rows) {
        if (code != 0 && row.set == code)
            return &row;
    }
    return nullptr;
}

QStringList SettingsStore::recordValues(const Row& row) const
{
    if (row.parts.isEmpty())
        return settingValues.value(row.key);
    QStringList values;
    for (const QString& part : row.parts)
        values << settingValues.value(part).value(0);
    return values;
}

// A read carries the setting's parameters ("7,0;") and is answered with them before the
// value(s): "CCMD;7,0,0,100;". Anything else is refused with result 1.
bool SettingsStore::read(int code, const QStringList& fields, QByteArray* reply) const
{
    const Row* row = rowByGet(code);
    if (!row)
        return false;
    if (quirks.silent.contains(row->key))
        reply->clear();
    else
        *reply = fields == row->params ? ccmdReply(code, 0, row->params + recordValues(*row)) : ccmdReply(code, 1);
    return true;
}

// A write carries the parameters, then as many values as the setting holds; it is applied
// and echoed, so the driver's copy of the setting follows the cutter's.
bool SettingsStore::write(int code, const QStringList& fields, QByteArray* reply)
{
    const Row* row = rowBySet(code);
    if (!row)
        return false;
    const int count = row->params.size();
    if (fields.mid(0, count) != row->params || fields.size() - count != row->initial.size()
        || quirks.refused.contains(row->key)) {
        *reply = ccmdReply(code, 1);
        return true;
    }
    const QStringList values = quirks.ignored.contains(row->key) ? recordValues(*row) : fields.mid(count);
    settingValues.insert(row->key, values);
    *reply = ccmdReply(code, 0, row->params + values);
    return true;
}

} // namespace ktsim
