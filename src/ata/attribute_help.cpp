#include "ata/attribute_help.h"

#include <array>
#include <cstddef>

namespace dt {

namespace {

constexpr std::size_t kMaxBody = AttributeHelpList::kMaxLines - 1;

// One reference entry: its title and up to eleven body lines (unused lines
// are null). An entry whose explanation is the same as another one's names
// that entry in `bodyOf` and leaves its own body empty.
struct HelpEntry {
  std::uint8_t id;
  const char* title;
  std::uint8_t bodyOf;
  std::array<const char*, kMaxBody> body;
};

// clang-format off
constexpr HelpEntry kEntries[] = {
  {1, "Raw Read Error Rate", 0, {
    "    Частота ошибок при чтении данных с поверхности диска, вызванных",
    "    аппаратной частью накопителя (головки, поверхность, электроника).",
    "    Чем ниже value, тем хуже состояние поверхности или головок."}},
  {2, "Throughput Performance", 0, {
    "    Средняя производительность (пропускная способность) накопителя",
    "    при обмене данными. Снижение value со временем указывает на",
    "    неполадки в механике или электронике накопителя."}},
  {3, "Spin Up Time", 0, {
    "    Среднее время раскрутки шпинделя от 0 об/мин до рабочей скорости.",
    "    Рост этого времени говорит об износе подшипников или двигателя",
    "    либо о недостаточном питании. Raw value обычно содержит время",
    "    раскрутки в миллисекундах или в секундах (зависит от модели)."}},
  {4, "Start/Stop Count", 0, {
    "    Количество циклов запуска и остановки шпинделя. Raw value считает",
    "    включения и выключения питания накопителя."}},
  {5, "Reallocated Sectors Count", 0, {
    "    Количество переназначенных секторов. Когда накопитель находит",
    "    сектор, который не удается надежно прочитать или записать, он",
    "    переносит его данные в резервную область (spare area) и дальше",
    "    обращается вместо него к резервному сектору. Эта операция",
    "    называется переназначением (remap). Поэтому на исправном",
    "    накопителе сбойные блоки (bad blocks) почти никогда не видны:",
    "    накопитель скрывает их сам, пока не кончится резервная область.",
    "    Чтение переназначенного сектора требует лишнего перемещения",
    "    головок, и много переназначений видно на графике скорости чтения",
    "    поверхности как провалы на 10 % и более.",
    "    Raw value - количество переназначенных секторов."}},
  {6, "Read Channel Margin", 0, {
    "    Запас канала чтения. Назначение атрибута производители не",
    "    документируют; по-видимому, он отражает запас надежности канала",
    "    чтения. Современными накопителями не используется."}},
  {7, "Seek Error Rate", 0, {
    "    Частота ошибок позиционирования блока магнитных головок. Ошибка",
    "    возникает, когда головка не находит нужную дорожку с первого раза.",
    "    Причины: повреждение сервометок на поверхности, тепловое",
    "    расширение дисков, износ привода головок. Чем больше ошибок, тем",
    "    хуже состояние механики или поверхности накопителя."}},
  {8, "Seek Time Performance", 0, {
    "    Средняя скорость позиционирования блока магнитных головок.",
    "    Измеряется накопителем во время самотестов. Снижение value со",
    "    временем говорит о неполадках в механической части накопителя:",
    "    износе привода головок или подшипников."}},
  {9, "Power-On Hours", 0, {
    "    Время, проведенное накопителем во включенном состоянии. Raw value",
    "    обычно содержит это время в часах; некоторые производители",
    "    считают его в минутах или в секундах.",
    "    Value уменьшается по мере наработки. Когда оно доходит до порога",
    "    (threshold), это означает, что ресурс, заявленный производителем",
    "    (например, среднее время наработки на отказ), исчерпан.",
    "    Это не обязательно означает выход накопителя из строя: многие",
    "    накопители после этого продолжают исправно работать."}},
  {10, "Spin Retry Count", 0, {
    "    Количество повторных попыток раскрутки шпинделя до рабочей",
    "    скорости, если первая попытка оказалась неудачной. Ненулевой",
    "    raw value говорит о неполадках в механике (подшипники, двигатель)",
    "    или о недостаточном питании накопителя. Рост значения - серьезный",
    "    повод проверить блок питания и сделать резервную копию данных."}},
  {11, "Recalibration Retries", 0, {
    "    Количество повторных попыток рекалибровки, если первая попытка",
    "    оказалась неудачной. При рекалибровке накопитель перемещает блок",
    "    магнитных головок на нулевую дорожку (track 0) и заново",
    "    определяет их положение. Рост raw value говорит о неполадках",
    "    в механике или в электронике накопителя."}},
  {12, "Device Power Cycle Count", 0, {
    "    Количество полных циклов включения и выключения питания."}},
  {13, "Soft Read Error Rate", 0, {
    "    Частота ошибок чтения, вызванных не аппаратной частью накопителя,",
    "    а программными причинами: ошибками микропрограммы (firmware),",
    "    драйвера или неверными командами. Чем ниже value, тем чаще",
    "    возникают такие ошибки."}},
  {22, "Current Helium Level", 0, {
    "    Helium level inside the helium-filled drives of one maker (HGST).",
    "    This is a pre-fail attribute: the value drops as the helium",
    "    pressure in the sealed enclosure falls, and the attribute trips",
    "    when the inner environment leaves its allowed range."}},

  {170, "Available Reserved Space", 0, {
    "    See attribute 232 (Available Reserved Space)."}},
  {171, "SSD Program Fail Count", 0, {
    "    Number of flash program (write) failures (Kingston).",
    "    Identical to attribute 181."}},
  {172, "SSD Erase Fail Count", 0, {
    "    Number of flash erase failures (Kingston). A block that fails to",
    "    erase is retired and a spare block takes its place.",
    "    Identical to attribute 182."}},
  {173, "SSD Wear Leveling Count", 0, {
    "    Maximum worst erase count of any flash block."}},
  {174, "Unexpected power loss count", 0, {
    "    Number of unclean shutdowns over the life of the SSD: power was",
    "    removed before the host sent STANDBY IMMEDIATE or FLUSH CACHE.",
    "    An unclean shutdown may lose data held in the write cache, and",
    "    the next start takes longer while the mapping tables are rebuilt.",
    "    The raw value is the count of such events; the normalized value",
    "    is always 100."}},
  {175, "Power Loss Protection Failure", 0, {
    "    Result of the last test of the power loss protection capacitors:",
    "    the discharge time in microseconds, the minutes since the last",
    "    test and the number of tests run."}},
  {176, "Erase Fail Count (chip)", 0, {
    "    Number of flash erase command failures."}},
  {177, "Wear Range Delta", 0, {
    "    Difference between the most worn and the least worn flash blocks.",
    "    Good wear leveling keeps it small; a large delta means some",
    "    blocks wear out much faster than the others."}},
  {179, "Used Reserved Block Count Total", 0, {
    "    Pre-fail attribute of Samsung devices: spare blocks used so far."}},
  {180, "Unused Reserved Block Count Total", 0, {
    "    Pre-fail attribute of HP devices: spare blocks still available."}},
  {181, "Program Fail Count Total/Non-4K Aligned Access Count ", 0, {
    "    Number of flash program (write) failures since manufacture.",
    "    Some makers use this ID for the number of host accesses that are",
    "    not aligned to 4 KiB. A misaligned write makes the SSD read and",
    "    rewrite whole pages, which is slow and adds wear; a growing count",
    "    usually means a partition that does not start on a 4 KiB step."}},
  {182, "Erase Fail Count", 0, {
    "    Pre-fail attribute of Samsung devices: failed flash erasures."}},
  {183, "SATA Downshift Error Count/Runtime Bad Block", 0, {
    "    Number of blocks with uncorrectable errors met during normal",
    "    operation. Some makers count here the times the SATA link had",
    "    to fall back to a lower speed."}},
  {184, "End-to-End error", 0, {
    "    Количество ошибок сквозного контроля данных: несовпадение",
    "    четности (parity) между данными, переданными хостом, и данными,",
    "    прочитанными накопителем после прохождения через его кэш."}},
  {185, "Head Stability", 0, {
    "    Vendor specific attribute of Western Digital drives."}},
  {186, "Induced Op-Vibration Detection", 0, {
    "    Vendor specific attribute of Western Digital drives."}},
  {187, "Reported UNC Errors", 0, {
    "    Количество ошибок, которые не удалось исправить аппаратными",
    "    средствами восстановления (ECC) накопителя."}},
  {188, "Command Timeout", 0, {
    "    Количество операций, прерванных по истечении времени ожидания",
    "    (time-out). В норме raw value равен нулю. Большие значения обычно",
    "    указывают на неполадки с питанием, плохой контакт в разъемах или",
    "    неисправный интерфейсный кабель."}},
  {189, "High Fly Writes", 0, {
    "    Number of writes stopped by the fly height monitor. The drive",
    "    watches the height of the write head above the platter; when the",
    "    head flies higher than normal, the data written could be too weak",
    "    to read back, so the write is stopped and done again.",
    "    The count covers the whole life of the drive. A growing count",
    "    points to shocks or vibration during writing, or to worn heads.",
    "    A few events over years of service are normal."}},
  {190, "Temperature Difference from 100", 0, {
    "    The value is 100 minus the temperature in degrees Celsius, so the",
    "    minimum threshold of the value is a maximum allowed temperature."}},
  {191, "G-Sense Error Rate", 0, {
    "    Количество ошибок, возникших после ударных нагрузок, которые",
    "    зафиксировал встроенный датчик ударов (G-sensor): падение",
    "    накопителя или ноутбука, плохое крепление в корпусе, сильная",
    "    вибрация. При ударе накопитель паркует головки, чтобы они не",
    "    повредили поверхность. См. описание технологии защиты от ударов",
    "    производителя накопителя (Shock Protection System и т.п.)."}},

  {192, "Power-Off Retract Count", 0, {
    "    Количество многократных выключений и включений питания."}},
  {193, "Load/Unload Cycle Count", 0, {
    "    Количество циклов перемещения блока магнитных головок в зону",
    "    парковки и обратно в рабочее положение. См. описание технологии",
    "    загрузки и выгрузки головок (head load/unload) производителя."}},
  {194, "Temperature", 0, {
    "    Температура накопителя. Raw value содержит показания встроенного",
    "    датчика температуры в градусах Цельсия. Долгая работа при",
    "    температуре выше 50 градусов заметно сокращает срок службы."}},
  {195, "Hardware ECC Recovered", 0, {
    "    Количество ошибок, исправленных аппаратными средствами коррекции",
    "    ошибок (ECC) накопителя. Значение зависит от производителя и",
    "    модели и само по себе мало говорит о состоянии накопителя.",
    "    У накопителей SATA value ухудшается при разгоне системной шины,",
    "    когда интерфейс работает на частоте выше номинальной."}},
  {196, "Reallocation Event Count", 0, {
    "    Количество операций переназначения (remap) секторов в резервную",
    "    область (spare area), как успешных, так и неудачных. В отличие",
    "    от атрибута 5 считается число операций, а не число секторов.",
    "    Рост значения говорит об ухудшении состояния поверхности",
    "    накопителя."}},
  {197, "Current Pending Sector Count", 0, {
    "    Количество нестабильных секторов, ожидающих переназначения",
    "    (remap). Сектор считается нестабильным, когда накопителю не",
    "    удалось прочитать его без ошибок. Такой сектор не переназначается",
    "    сразу: при следующем обращении накопитель проверяет его еще раз.",
    "    Если сектор читается или записывается нормально, он исключается",
    "    из списка и счетчик уменьшается; если ошибка повторяется, сектор",
    "    переносится в резервную область и увеличивает атрибут 5.",
    "    Если raw value долго остается ненулевым, на поверхности есть зона",
    "    плохого качества. Проверьте ее тестом поверхности в режиме",
    "    чтения и сделайте резервную копию данных."}},
  {198, "Uncorrectable Sector Count", 0, {
    "    Количество неисправленных ошибок при чтении или записи секторов,",
    "    обычно обнаруженных во время off-line тестов SMART. Рост",
    "    raw value говорит о дефектах поверхности или о неполадках",
    "    в механике накопителя. Ненулевое значение - повод сделать",
    "    резервную копию данных."}},
  {199, "UltraDMA CRC Error Count", 0, {
    "    Количество ошибок контрольной суммы (CRC), возникших при передаче",
    "    данных по интерфейсу в режиме UltraDMA. Эти ошибки не связаны с",
    "    поверхностью или механикой: данные искажаются на пути между",
    "    контроллером и накопителем, и передача повторяется.",
    "    Большая часть таких ошибок возникает при разгоне шины PCI намного",
    "    выше 33,6 МГц, при скрученных (круглых) или слишком длинных",
    "    кабелях, 40-жильном кабеле вместо 80-жильного, а также из-за",
    "    неподходящих драйверов контроллера.",
    "    Атрибут не уменьшается; важно, растет ли raw value во время",
    "    работы."}},
  {200, "Write Error Rate (Multi Zone Error Rate)", 0, {
    "    Частота ошибок при записи данных на поверхность диска. Ошибка",
    "    возникает, когда головка не смогла записать сектор с первой",
    "    попытки. Чем больше ошибок, тем хуже состояние поверхности или",
    "    механики накопителя. У накопителей Western Digital атрибут",
    "    называется Multi Zone Error Rate."}},
  {201, "Soft read error rate (TA Counter Detected?)", 13, {}},
  {202, "Data Address Mark errors (TA Counter Increased?)", 0, {
    "    Number of Data Address Mark errors, or vendor specific."}},
  {203, "Run out cancel", 0, {
    "    Количество ошибок, обнаруженных кодом коррекции ошибок (ECC)."}},
  {204, "Soft ECC correction", 0, {
    "    Количество ошибок, исправленных программными средствами ECC."}},
  {205, "Thermal asperity rate (TAR)", 0, {
    "    Number of errors caused by thermal asperities."}},
  {206, "Flying height", 0, {
    "    Высота полета головки над поверхностью диска."}},
  {207, "Spin high current", 0, {
    "    Величина тока при раскрутке шпинделя накопителя."}},
  {208, "Spin buzz", 0, {
    "    Number of buzz routines needed to spin up the drive."}},
  {209, "Offline seek performance", 0, {
    "    Производительность позиционирования головок (seek performance)",
    "    во время off-line операций (off-line operations)."}},
  {210, "Vibration During Write", 0, {
    "    Seen on two Maxtor models; the maker does not document it."}},
  {211, "Vibration During Write", 0, {
    "    Vibration recorded during write operations."}},
  {212, "Shock During Write", 0, {
    "    Shock recorded during write operations."}},

  {220, "Disk Shift", 0, {
    "    Смещение пакета дисков относительно оси шпинделя. Raw value",
    "    содержит величину смещения в неизвестных единицах.",
    "    Примечание: смещение обычно возникает после сильного удара или",
    "    падения накопителя, реже из-за температурных деформаций.",
    "    Ненулевое и растущее значение говорит о том, что накопитель",
    "    подвергался ударам; такой накопитель лучше заменить, пока",
    "    данные еще читаются."}},
  {221, "G-Sense Error Rate (? Hitachi - Shock Sense Error Rate)", 191, {}},
  {222, "Loaded Hours", 0, {
    "    Нагрузка на привод блока магнитных головок, выраженная в часах",
    "    работы. Учитывается только время, когда головки находятся в",
    "    рабочем положении (вне зоны парковки)."}},
  {223, "Load/Unload Retry Count", 0, {
    "    Нагрузка на привод блока магнитных головок, вызванная повторными",
    "    операциями загрузки и выгрузки головок. Учитывается только",
    "    время, когда головки находятся в рабочем положении. Рост",
    "    значения говорит о неполадках в механизме парковки."}},
  {224, "Load Friction", 0, {
    "    Нагрузка на привод блока магнитных головок, вызванная трением",
    "    в механических частях накопителя. Учитывается только время,",
    "    когда головки находятся в рабочем положении. Рост значения",
    "    говорит об износе механики."}},
  {225, "Load/Unload Cycle Count", 0, {
    "    Общее количество циклов нагрузки на привод блока магнитных",
    "    головок. Учитывается только время, когда головки находятся в",
    "    рабочем положении."}},
  {226, "Load-in Time", 0, {
    "    Общее время, в течение которого привод блока магнитных головок",
    "    находится под нагрузкой, то есть головки находятся вне зоны",
    "    парковки и работают над поверхностью диска. Значение растет",
    "    вместе со временем работы накопителя."}},
  {227, "Torque Amplification Count", 0, {
    "    Количество усилий крутящего момента привода шпинделя."}},
  {228, "Power-Off Retract Count", 192, {}},
  {230, "GMR Head Amplitude", 0, {
    "    Амплитуда дрожания головок при работе накопителя."}},
  {231, "Temperature", 194, {}},
  {232, "Available Reserved Space", 0, {
    "    Reserved space still available, as a percentage of the reserved",
    "    space of a new SSD (Intel). It starts at 100 and falls."}},
  {233, "Power-On Hours/Media Wearout Indicator", 0, {
    "    On some SSDs: the power-on hours of the drive.",
    "    ",
    "    On Intel SSDs: the Media Wearout Indicator. The normalized value",
    "    falls from 100 to 1 as the NAND cells use up their rated erase",
    "    cycles; at 1 the rated endurance is exhausted."}},
  {234, "Average erase count AND Maximum Erase Count", 0, {
    "    Raw bytes 0-2: average erase count; raw bytes 3-5: maximum erase",
    "    count. Both numbers are big-endian."}},
  {235, "Good Block Count AND System(Free) Block Count", 0, {
    "    Raw bytes 0-2: good block count (big-endian); raw bytes 3-4:",
    "    system (free) block count."}},
  {240, "Transfer Error Rate (Fujitsu)/Head Flying Hours (Hitachi)", 0, {
    "    Fujitsu: number of link resets during data transfer.",
    "    Hitachi: общее время полета головок (head flying hours)."}},
  {241, "Total LBAs Written", 0, {
    "    Total count of LBAs (sectors) written over the drive's life."}},
  {242, "Total LBAs Read", 0, {
    "    Total count of LBAs (sectors) read over the drive's life.",
    "    The raw value has 48 bits, so some tools that read it as a",
    "    signed number show it as negative."}},
  {243, "Total LBAs Written Expanded", 0, {
    "    The upper 5 bytes of the 12-byte total count of LBAs written;",
    "    the lower 7 bytes are in attribute 0xF1."}},
  {244, "Total LBAs Read Expanded", 0, {
    "    The upper 5 bytes of the 12-byte total count of LBAs read;",
    "    the lower 7 bytes are in attribute 0xF2."}},
  {249, "NAND_Writes_1GiB", 0, {
    "    Total data written to the NAND flash, in units of 1 GB, with the",
    "    extra writes of garbage collection and wear leveling."}},
  {250, "Read Error Retry Rate", 0, {
    "    Количество ошибок при чтении данных с поверхности диска."}},
  {251, "Minimum Spares Remaining", 0, {
    "    Number of remaining spare blocks as a percentage of all spare",
    "    blocks. It starts at 100 and falls as worn blocks are replaced;",
    "    a low value means the SSD is near the end of its life."}},
  {252, "Newly Added Bad Flash Block", 0, {
    "    Number of bad flash blocks found since the drive was made, not",
    "    counting the blocks marked bad at the factory. A growing count",
    "    means the flash is wearing out."}},
  {254, "Free Fall Protection", 0, {
    "    Count of free-fall events (количество зафиксированных падений)."}},
};

constexpr const char* kFlagsReference[] = {
  " ",
  "PF - Pre-failure. Для такого атрибута порог (threshold) - это минимально",
  "     допустимое значение (value). Ниже порога производитель не",
  "     гарантирует работоспособность накопителя, и риск его выхода",
  "     из строя резко возрастает.",
  " ",
  "OC - On-line collection. Значение обновляется во время on-line тестов",
  "     SMART или во время тестов обоих видов (on-line и off-line).",
  "     Если флаг не установлен, значение обновляется только во время",
  "     off-line тестов.",
  " ",
  "PR - Performance related. Значение прямо зависит от измеренной",
  "     производительности накопителя: времени позиционирования (seek),",
  "     скорости передачи данных (throughput) и т.п. Обычно обновляется",
  "     после выполнения самотестов SMART.",
  " ",
  "ER - Error rate. Значение отражает относительную частоту ошибок",
  "     соответствующего параметра: ошибок чтения и записи (raw read/write),",
  "     ошибок позиционирования (seek) и т.д.",
  " ",
  "EC - Events count. Атрибут является счетчиком событий.",
  " ",
  "SP - Self-preserve. Значение обновляется и сохраняется автоматически,",
  "     обычно при каждом запуске накопителя и во время тестов SMART.",
  "     Для этого не нужны команды хоста.",
};
// clang-format on

const HelpEntry* FindEntry(std::uint8_t id) {
  for (const HelpEntry& e : kEntries) {
    if (e.id == id) return &e;
  }
  return nullptr;
}

}  // namespace

void AttributeHelp(std::uint8_t id, AttributeHelpList& list) {
  list.count = 0;
  if (id == 0) {
    list.lines[0] = "Unavailable attribute ";
    list.count = 1;
    return;
  }
  // Maxtor's and IBM's undocumented attributes have no text of their own.
  if ((id >= 96 && id <= 101) || id == 229) {
    list.lines[0] = id == 229 ? "? (IBM DTTA)" : "? (Maxtor)";
    return;
  }
  const HelpEntry* e = FindEntry(id);
  if (!e) {
    list.lines[0] = "Unknown attribute ";
    list.count = 1;
    return;
  }
  list.lines[0] = e->title;
  list.count = 1;
  const HelpEntry* body = e->bodyOf != 0 ? FindEntry(e->bodyOf) : e;
  for (const char* line : body->body) {
    if (!line) break;
    list.lines[static_cast<std::size_t>(list.count)] = line;
    ++list.count;
  }
}

void FlagsReference(const TReportLineProc& proc) {
  for (const char* line : kFlagsReference) proc(line);
}

}  // namespace dt
