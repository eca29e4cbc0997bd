#include "ata/identify_report.h"

#include <cstddef>
#include <string>

#include "ata/identify_decode.h"
#include "base/text.h"

namespace dt {

namespace {

// A text in both report languages.
struct Tx {
  std::string_view en, ru;
};
// A text that the Russian report keeps in English.
constexpr Tx Same(std::string_view s) {
  return {s, s};
}

// The padded width of a label group in each language. The Russian groups keep
// the English width wherever their labels fit in it.
struct Width {
  std::size_t en, ru;
};

// Gender and number of a Russian label, which the value texts agree with.
enum class Gram { Masc, Fem, Neut, Plural };

constexpr Tx Supported(Gram g) {
  return {"supported", g == Gram::Plural ? "поддерживаются" : "поддерживается"};
}
constexpr Tx NotSupported(Gram g) {
  return {"not supported", g == Gram::Plural ? "не поддерживаются" : "не поддерживается"};
}
constexpr Tx Enabled(Gram g) {
  switch (g) {
    case Gram::Fem:
      return {"enabled", "разрешена"};
    case Gram::Neut:
      return {"enabled", "разрешено"};
    case Gram::Plural:
      return {"enabled", "разрешены"};
    default:
      return {"enabled", "разрешен"};
  }
}
constexpr Tx Disabled(Gram g) {
  switch (g) {
    case Gram::Fem:
      return {"disabled", "запрещена"};
    case Gram::Neut:
      return {"disabled", "запрещено"};
    case Gram::Plural:
      return {"disabled", "запрещены"};
    default:
      return {"disabled", "запрещен"};
  }
}

constexpr Tx kNone{"", ""};

// The indent column of a bit line: the F or V letter of the bit, or eight
// blanks for a bit without a letter (' ').
std::string Indent(char letter) {
  if (letter == ' ') return std::string(8, ' ');
  return std::string(6, ' ') + letter + ' ';
}

// One bit of a word whose bits share a label width and a pair of value texts.
struct BitRow {
  int bit;
  char letter;
  Tx label;
};

// One bit of a command set word pair: the word that says what is supported
// (82, 83, 84) and the word that says what is enabled (85, 86, 87).
enum class Shape {
  Padded,    // labelled line, label padded to the group width
  Unpadded,  // labelled line, label as it stands, no value texts
  Plain,     // bit line without texts
};
struct FeatureRow {
  int bit;
  int needs;       // a further claim of ATA-needs..8, or 0
  char letter[2];  // indent letter in the supported / enabled word; 0: not shown
  Shape shape;
  Tx label[2];
  Tx one[2], zero[2];
};

// A padded row whose label and Russian agreement are the same in both words.
constexpr FeatureRow Feature(int bit, int needs, char supportedLetter, char enabledLetter, Tx label,
                             Gram g) {
  return {bit,
          needs,
          {supportedLetter, enabledLetter},
          Shape::Padded,
          {label, label},
          {Supported(g), Enabled(g)},
          {NotSupported(g), Disabled(g)}};
}

constexpr FeatureRow WithTexts(FeatureRow r, int word, Tx one, Tx zero) {
  r.one[word] = one;
  r.zero[word] = zero;
  return r;
}

constexpr FeatureRow WithShape(FeatureRow r, Shape shape) {
  r.shape = shape;
  for (int w = 0; w < 2; ++w) r.one[w] = r.zero[w] = kNone;
  return r;
}

// Words 82 and 85.
constexpr FeatureRow kWords82And85[] = {
    Feature(14, 4, 'F', 'F', {"NOP command:", "Команда NOP:"}, Gram::Fem),
    Feature(13, 4, 'F', 'F', {"READ BUFFER command:", "Команда READ BUFFER:"}, Gram::Fem),
    Feature(12, 4, 'F', 'F', {"WRITE BUFFER command:", "Команда WRITE BUFFER:"}, Gram::Fem),
    Feature(10, 4, 'F', 'V',
            {"Host Protected Area feature set:", "Набор функций Host Protected Area:"}, Gram::Masc),
    Feature(9, 4, 'F', 'F', {"DEVICE RESET command:", "Команда DEVICE RESET:"}, Gram::Fem),
    Feature(8, 4, 'F', 'V', {"SERVICE interrupt:", "Прерывание SERVICE:"}, Gram::Neut),
    Feature(7, 4, 'F', 'V', {"Release interrupt:", "Прерывание при освобождении шины:"},
            Gram::Neut),
    Feature(6, 4, 'F', 'V', {"Look-ahead:", "Упреждающее чтение:"}, Gram::Neut),
    Feature(5, 4, 'F', 'V', {"Write cache:", "Кэш записи:"}, Gram::Masc),
    Feature(4, 4, 'F', 'F', {"PACKET Command feature set:", "Набор команд PACKET:"}, Gram::Masc),
    Feature(3, 0, 'F', 'F',
            {"Mandatory Power Management feature set: ",
             "Обязательный набор функций управления питанием:"},
            Gram::Masc),
    Feature(2, 0, 'F', 'F', {"Removable Media feature set:", "Набор функций сменных носителей:"},
            Gram::Masc),
    Feature(1, 0, 'F', 'V', {"Security Mode feature set:", "Набор функций режима безопасности:"},
            Gram::Masc),
    Feature(0, 0, 'F', 'V', {"SMART feature set:", "Мониторинг состояния SMART:"}, Gram::Masc),
};

// Words 83 and 86.
constexpr FeatureRow kWords83And86[] = {
    WithTexts(Feature(15, 6, 0, 'F', {"Words 119..120:", "Слова 119..120:"}, Gram::Plural), 1,
              {"valid", "верны"}, {"invalid", "неверны"}),
    Feature(13, 6, 'F', 'F', {"FLUSH CACHE EXT command:", "Команда FLUSH CACHE EXT:"}, Gram::Fem),
    Feature(12, 6, 'F', 'F',
            {"Mandatory FLUSH CACHE command:", "Обязательная команда FLUSH CACHE:"}, Gram::Fem),
    Feature(11, 6, 'F', 'F',
            {"Device Configuration Overlay feature set:",
             "Набор функций Device Configuration Overlay:"},
            Gram::Masc),
    Feature(10, 6, 'F', 'F', {"48-bit Address feature set:", "Набор функций 48-битной адресации:"},
            Gram::Masc),
    Feature(9, 6, 'F', 'V',
            {"Automatic Acoustic Management feature set:", "Автоматическое управление акустикой:"},
            Gram::Neut),
    Feature(8, 5, 'F', 'F', {"SET MAX security extension:", "Расширение безопасности SET MAX:"},
            Gram::Neut),
    WithShape(Feature(7, 5, 'F', 'F',
                      {"See Address Offset Reserved Area Boot, INCITS TR27:2001",
                       "См. Address Offset Reserved Area Boot, INCITS TR27:2001"},
                      Gram::Masc),
              Shape::Unpadded),
    WithTexts(Feature(6, 5, 'F', 'F',
                      {"To spinup after power-up SET FEATURES subcommand: ",
                       "Подкоманда SET FEATURES для раскрутки:"},
                      Gram::Fem),
              0, {"required", "требуется"}, {"not required", "не требуется"}),
    Feature(5, 5, 'F', 'V',
            {"Power-Up In Standby feature set:", "Набор функций Power-Up In Standby:"}, Gram::Masc),
    Feature(4, 0, 'F', 'V',
            {"Removable Media Status Notification feature set:  ",
             "Уведомление о состоянии сменного носителя:"},
            Gram::Neut),
    Feature(3, 0, 'F', 'V',
            {"Advanced Power Management feature set:", "Расширенное управление питанием:"},
            Gram::Neut),
    Feature(2, 0, 'F', 'F', {"CFA feature set:", "Набор функций CFA:"}, Gram::Masc),
    Feature(1, 0, 'F', 'F', {"READ/WRITE DMA QUEUED:", "Команды READ/WRITE DMA QUEUED:"},
            Gram::Plural),
    Feature(0, 0, 'F', 'F', {"DOWNLOAD MICROCODE command:", "Команда DOWNLOAD MICROCODE:"},
            Gram::Fem),
};

// Words 84 and 87. Bit 4 and bit 2 read differently in word 87.
constexpr FeatureRow Word87Stream() {
  FeatureRow r =
      Feature(4, 7, 'F', 'V', {"Streaming feature set:", "Набор функций Streaming:"}, Gram::Masc);
  r.label[1] = {"Valid CONFIGURE STREAM command:", "Команда CONFIGURE STREAM:"};
  r.one[1] = {"executed", "выполнена"};
  r.zero[1] = {"not executed", "не выполнена"};
  return r;
}

constexpr FeatureRow kWords84And87[] = {
    Feature(13, 7, 'F', 'F',
            {"IDLE IMMEDIATE with UNLOAD FEATURE:", "Команда IDLE IMMEDIATE с UNLOAD FEATURE:"},
            Gram::Fem),
    WithShape(Feature(12, 7, 'F', 'V', kNone, Gram::Masc), Shape::Plain),
    WithShape(Feature(11, 7, 'F', 'V', kNone, Gram::Masc), Shape::Plain),
    Feature(10, 7, 'F', 'F',
            {"URG bit for WRITE STREAM DMA EXT and WRITE STREAM EXT:  ",
             "Бит URG для WRITE STREAM DMA EXT и WRITE STREAM EXT:"},
            Gram::Masc),
    Feature(9, 7, 'F', 'F',
            {"URG bit for READ STREAM DMA EXT and READ STREAM EXT:",
             "Бит URG для READ STREAM DMA EXT и READ STREAM EXT:"},
            Gram::Masc),
    Feature(8, 7, 'F', 'F', {"64-bit World wide name:", "64-битное имя World Wide Name:"},
            Gram::Neut),
    Feature(7, 7, 'F', 'F',
            {"WRITE DMA QUEUED FUA EXT command:", "Команда WRITE DMA QUEUED FUA EXT:"}, Gram::Fem),
    Feature(6, 7, 'F', 'F',
            {"WRITE DMA FUA EXT and WRITE MULTIPLE FUA EXT commands:  ",
             "Команды WRITE DMA FUA EXT и WRITE MULTIPLE FUA EXT:"},
            Gram::Plural),
    Feature(5, 0, 'F', 'F',
            {"General Purpose Logging feature set:", "Набор функций General Purpose Logging:"},
            Gram::Masc),
    Word87Stream(),
    Feature(
        3, 0, 'F', 'V',
        {"Media Card Pass Through Command feature set:", "Набор команд Media Card Pass Through:"},
        Gram::Masc),
    WithTexts(
        Feature(2, 0, 'F', 'V', {"Media serial number:", "Серийный номер носителя:"}, Gram::Masc),
        1, {"valid", "верен"}, {"invalid", "неверен"}),
    Feature(1, 0, 'F', 'F', {"SMART self-test:", "Самотестирование SMART:"}, Gram::Neut),
    Feature(0, 0, 'F', 'F', {"SMART error logging:", "Журнал ошибок SMART:"}, Gram::Masc),
};

// Word 69 (additional supported commands).
constexpr BitRow kWord69[] = {
    {15, 'F', Same("CFast Specification:")},
    {14, 'F', Same("Deterministic read after Trim:")},
    {13, 'F', Same("Long Physical Sector Alignment Error Reporting Control:")},
    {12, 'F', Same("DEVICE CONFIGURATION IDENTIFY DMA and DEVICE CONFIGURATION SET DMA: ")},
    {11, 'F', Same("READ BUFFER DMA:")},
    {10, 'F', Same("WRITE BUFFER DMA:")},
    {9, 'F', Same("SET MAX SET PASSWORD DMA and SET MAX UNLOCK DMA:")},
    {8, 'F', Same("DOWNLOAD MICROCODE DMA:")},
    {6, 'F', Same("Optional ATA device 28-bit commands:")},
    {5, 'F', Same("Read zero after Trim:")},
};

// Word 76 (Serial ATA capabilities).
constexpr BitRow kWord76[] = {
    {12, ' ', Same("NCQ priority information:")},
    {11, ' ', Same("Unload while NCQ commands are outstanding:")},
    {10, 'F', Same("Phy Event Counters:")},
    {9,
     'F',
     {"Receipt of host initiated power management requests:  ",
      "receipt of host initiated power management requests:"}},
    {8, 'F', Same("NCQ feature set:")},
    {2, 'F', Same("SATA Gen2 Signaling Speed (3.0Gb/s):")},
    {1, 'F', Same("SATA Gen1 Signaling Speed (1.5Gb/s):")},
};

// Words 78 and 79 (Serial ATA features supported, enabled).
constexpr BitRow kWords78And79[] = {
    {6, 'F', Same("Software Settings Preservation: ")},
    {4, 'F', Same("In-order data delivery:")},
    {3, 'F', Same("Initiating power management:")},
    {2, 'F', Same("DMA Setup auto-activation:")},
    {1, 'F', Same("Non-zero buffer offsets:")},
};

// Words 119 and 120 (further features supported, enabled).
constexpr BitRow kWords119And120[] = {
    {7, ' ', Same("Extended Power Conditions feature set:")},
    {6, 'F', Same("Extended Status Reporting feature set:")},
    {5, 'F', Same("The Free-fall Control feature set:")},
    {4, 'F', Same("The DOWNLOAD MICROCODE command with mode 3:")},
    {3, 'F', Same("The READ LOG DMA EXT and WRITE LOG DMA EXT commands :")},
    {2, 'F', Same("The WRITE UNCORRECTABLE EXT command :")},
    {1, 'F', Same("The Write-Read-Verify feature set:")},
};

// Label widths of the groups.
constexpr Width kGeometryWidth{37, 40};  // words 1, 3, 6
constexpr Width kIdentityWidth{31, 29};  // words 10-19, 23-26, 27-46
constexpr Width kCurrentWidth{62, 62};   // words 54, 55, 56
constexpr Width kSanitizeWidth{32, 32};  // word 59 bits 15-12 (English lines only)
constexpr Width kWord69Width{68, 68};
constexpr Width kWord76Width{54, 54};
constexpr Width kWords78And79Width{32, 32};
constexpr Width kWords82And85Width{40, 48};
constexpr Width kWords83And86Width{50, 50};
constexpr Width kWords84And87Width{56, 56};
constexpr Width kWords119And120Width{55, 55};
constexpr Width kWord128Width{25, 45};

// The two-bit fields of word 93: code and meaning in one text; the code is
// the first two characters, the meaning the rest.
constexpr Tx kDeviceNumberMethods[] = {
    {"00 reserved", "00 зарезервировано"},
    {"01 a jumper was used", "01 с помощью перемычки"},
    {"10 the CSEL signal was used", "10 с помощью сигнала CSEL"},
    {"11 some other method was used or the method is unknown",
     "11 другим или неизвестным способом"},
};

class Writer {
 public:
  Writer(TIDE_SMART& smart, const TReportLineProc& line, IdentifyLanguage language)
      : smart_(smart),
        line_(line),
        language_(language),
        ru_(language == IdentifyLanguage::Russian),
        claims_(smart) {}

  void Write() {
    Emit(std::string(T({"Identify Block Report", "Identify Block"})));
    Emit("");
    GeneralConfiguration();
    GeometryAndStrings();
    Capabilities();
    CurrentGeometry();
    TransferModes();
    Word69And75();
    SerialAta();
    Versions();
    CommandSets();
    ModesSecurityPower();
    AcousticsStreaming();
    FeaturesSecurityMedia();
  }

 private:
  std::string_view T(const Tx& t) const { return ru_ ? t.ru : t.en; }
  std::size_t T(const Width& w) const { return ru_ ? w.ru : w.en; }

  std::uint16_t W(int n) const { return smart_.Word(n); }
  std::uint32_t Lo(int n) const { return W(n) & 0xFFu; }
  std::uint32_t Hi(int n) const { return static_cast<std::uint32_t>(W(n)) >> 8; }
  bool Bit(int n, int b) const { return ((W(n) >> b) & 1u) != 0; }

  bool Ata(int a, int b) const { return ClaimsAnyAta(claims_, a, b); }
  bool Ata(int a) const { return Ata(a, a); }

  void Emit(const std::string& s) { line_(s); }

  // A word line: offset prefix, attribute column, label and value.
  void EmitWordLine(int offset, std::string_view column, std::string_view label,
                    std::string_view value) {
    std::string s = OffsetPrefix(offset);
    s += column;
    s += label;
    s += value;
    Emit(s);
  }
  void WordLine(int offset, std::string_view column, const Tx& label, std::string_view value = {}) {
    EmitWordLine(offset, column, T(label), value);
  }
  void WordLine(int offset, std::string_view column, const Tx& label, const Width& width,
                std::string_view value) {
    EmitWordLine(offset, column, PadRight(T(label), T(width)), value);
  }

  void BitText(char letter, std::uint32_t value, int bit, const Tx& one, const Tx& zero) {
    Emit(Indent(letter) + BitLine(value, bit, T(one), T(zero)));
  }
  void LabelledText(char letter, std::uint32_t value, int bit, std::string_view label,
                    const Tx& one, const Tx& zero) {
    Emit(Indent(letter) + LabelledBitLine(value, bit, label, T(one), T(zero)));
  }
  void Labelled(char letter, std::uint32_t value, int bit, const Tx& label, const Width& width,
                const Tx& one, const Tx& zero) {
    LabelledText(letter, value, bit, PadRight(T(label), T(width)), one, zero);
  }
  void Rows(std::uint32_t value, const BitRow* rows, std::size_t count, const Width& width,
            const Tx& one, const Tx& zero) {
    for (std::size_t i = 0; i < count; ++i)
      Labelled(rows[i].letter, value, rows[i].bit, rows[i].label, width, one, zero);
  }
  template <std::size_t N>
  void Rows(std::uint32_t value, const BitRow (&rows)[N], const Width& width, const Tx& one,
            const Tx& zero) {
    Rows(value, rows, N, width, one, zero);
  }

  // The bits of one word of a command set pair; `which` is 0 for the
  // supported word, 1 for the enabled word.
  template <std::size_t N>
  void Features(int word, int which, const FeatureRow (&rows)[N], const Width& width) {
    const std::uint32_t value = W(word);
    for (const FeatureRow& r : rows) {
      const char letter = r.letter[which];
      if (letter == 0) continue;
      if (r.needs != 0 && !Ata(r.needs, 8)) continue;
      switch (r.shape) {
        case Shape::Padded:
          Labelled(letter, value, r.bit, r.label[which], width, r.one[which], r.zero[which]);
          break;
        case Shape::Unpadded:
          LabelledText(letter, value, r.bit, T(r.label[which]), kNone, kNone);
          break;
        case Shape::Plain:
          BitText(letter, value, r.bit, kNone, kNone);
          break;
      }
    }
  }

  // A byte dump of the block, 8 bytes a line, unless all the bytes are zero.
  void DumpIfAny(int offset, int count) {
    const std::uint8_t* p = smart_.IdentifyResult.bBuffer + offset;
    bool any = false;
    for (int i = 0; i < count; ++i) any = any || p[i] != 0;
    if (any) DumpBytes(p, static_cast<std::size_t>(count), 8, line_);
  }

  std::string Size(std::uint64_t sectors) const {
    return ru_ ? SectorsToSizeText(sectors, " Гбайт (", " Мбайт)") : SectorsToSizeText(sectors);
  }

  static std::string Num(std::uint64_t v) { return std::to_string(v); }

  // Word 0 and word 2.
  void GeneralConfiguration() {
    const std::uint32_t w0 = W(0);
    WordLine(0, "M  ", {"Word 0: General configuration", "Word 0: Основная конфигурация"});
    if (Ata(3, 8))
      BitText('F', w0, 15, {"ATAPI device", "Устройство ATAPI"}, {"ATA device", "Устройство ATA"});
    if (Ata(1, 8))
      BitText('F', w0, 7, {"Removable media", "Сменный носитель"},
              {"Fixed disk", "Несъемный диск"});
    if (Ata(1, 5))
      BitText('F', w0, 6, {"Fixed disk", "Несъемный диск"},
              {"Removable media", "Сменный носитель"});
    if (Ata(5, 8))
      BitText('V', w0, 2,
              {"IDENTIFY DEVICE response incomplete", "Ответ на IDENTIFY DEVICE неполный"},
              {"IDENTIFY DEVICE response complete", "Ответ на IDENTIFY DEVICE полный"});

    const std::uint16_t w2 = W(2);
    if (Ata(6, 8))
      WordLine(4, "OV ",
               {"Word 2: Specific configuration: 0x", "Word 2: Специфическая конфигурация: 0x"},
               HexText(w2, 4));
    const std::string pad(14, ' ');
    if (w2 == 0x37C8 || w2 == 0x738C)
      Emit(pad +
           std::string(T({"Device requires SET FEATURES subcommand to spin-up after",
                          "Устройству требуется подкоманда SET FEATURES для раскрутки после"})));
    if (w2 == 0x8C73 || w2 == 0xC837)
      Emit(pad +
           std::string(T({"Device does not require SET FEATURES subcommand to spin-up after",
                          "Устройству не требуется подкоманда SET FEATURES для раскрутки после"})));
    if (w2 == 0x37C8 || w2 == 0x8C73)
      Emit(pad + std::string(T({"power-up and IDENTIFY DEVICE response is incomplete",
                                "включения питания, и ответ на IDENTIFY DEVICE неполный"})));
    if (w2 == 0x738C || w2 == 0xC837)
      Emit(pad + std::string(T({"power-up and IDENTIFY DEVICE response is complete",
                                "включения питания, и ответ на IDENTIFY DEVICE полный"})));
  }

  // Words 1 to 48: geometry, vendor bytes and the identity strings.
  void GeometryAndStrings() {
    const bool oldGeometry = Ata(1, 5);
    const bool ata1Only = Ata(1) && !Ata(5, 8);
    if (oldGeometry)
      WordLine(2, " F ", {"Word 1: Number of cylinders:", "Word 1: Количество цилиндров:"},
               kGeometryWidth, Num(W(1)));
    if (oldGeometry)
      WordLine(6, " F ", {"Word 3: Number of heads:", "Word 3: Количество головок:"},
               kGeometryWidth, Num(W(3)));
    if (ata1Only)
      WordLine(8, " F ",
               {"Word 4: Number of unformatted bytes per track: ",
                "Word 4: Количество неформатированных байт на дорожке: "},
               Num(W(4)));
    if (ata1Only)
      WordLine(10, " F ",
               {"Word 5: Number of unformatted bytes per sector: ",
                "Word 5: Количество неформатированных байт в секторе: "},
               Num(W(5)));
    if (oldGeometry)
      WordLine(
          12, " F ",
          {"Word 6: Number of sectors per track: ", "Word 6: Количество секторов на дорожке: "},
          kGeometryWidth, Num(W(6)));
    if (Ata(1, 4) && (W(7) != 0 || W(8) != 0 || W(9) != 0)) {
      WordLine(14, " X ", {"Word 7-9: Vendor unique: ", "Word 7-9: Данные производителя: "});
      DumpIfAny(14, 6);
    }
    if (Ata(5, 8) && (W(7) != 0 || W(8) != 0)) {
      WordLine(14, "OV ",
               {"Word 7-8: Reserved for assignment by the CompactFlash Association: ",
                "Word 7-8: Зарезервировано для CompactFlash Association: "});
      DumpIfAny(14, 4);
    }
    if (Ata(1, 3))
      WordLine(44, " F ",
               {"Word 22: Number of vendor specific bytes (READ/WRITE LONG): ",
                "Word 22: Количество добавочных байт для команд READ/WRITE LONG: "},
               Num(W(22)));
    WordLine(20, "MF ", {"Word 10-19: Serial number:", "Word 10-19: Серийный номер:"},
             kIdentityWidth, CleanText(smart_.GetSerial()));
    WordLine(46, "MF ", {"Word 23-26: Firmware revision: ", "Word 23-26: Версия прошивки:"},
             kIdentityWidth, CleanText(smart_.GetFirmware()));
    WordLine(54, "MF ", {"Word 27-46: Model number:", "Word 27-46: Модель:"}, kIdentityWidth,
             CleanText(smart_.GetModel()));
    if (Ata(1, 8))
      WordLine(94, " F ",
               {"Word 47: Maximum number of sectors per interrupt (for READ/WRITE MULTIPLE): ",
                "Word 47: Максимальное число секторов на прерывание (для READ/WRITE MULTIPLE): "},
               Num(Lo(47)));
    if (Ata(1) && !Ata(3, 8))
      WordLine(96, "   ",
               {"Word 48: can perform doubleword I/O: ", "Word 48: Ввод/вывод двойными словами: "},
               YesNoText(W(48), language_));
  }

  // Words 49 to 53.
  void Capabilities() {
    const std::uint32_t w49 = W(49);
    WordLine(98, "M  ", {"Word 49: Capabilities", "Word 49: Возможности"});
    if (Ata(2, 8)) {
      LabelledText('F', w49, 13,
                   T({"The Standby timer values shall be ", "Значения таймера режима ожидания "}),
                   {"standard", "стандартные"}, {"vendor specific", "нестандартные"});
      BitText('F', w49, 11, {"IORDY supported", "IORDY поддерживается"},
              {"IORDY may be supported", "IORDY может поддерживаться"});
      BitText('F', w49, 10, {"IORDY can be disabled", "IORDY может быть отключен"},
              {"IORDY cannot be disabled", "IORDY не может быть отключен"});
    }
    if (Ata(1, 8)) {
      BitText('F', w49, 9, {"LBA supported", "LBA поддерживается"},
              {"LBA not supported", "LBA не поддерживается"});
      BitText('F', w49, 8, {"DMA supported", "DMA поддерживается"},
              {"DMA not supported", "DMA не поддерживается"});
    }
    if (Ata(8) && Bit(69, 13)) {
      static constexpr Tx kAlignment[] = {
          {"      V   1:0 0  Long Physical Sector Alignment Error reporting is disabled",
           "      V   1:0 0  Сообщения об ошибках выравнивания длинного физического сектора "
           "запрещены"},
          {"      V   1:0 1  Long Physical Sector Alignment Error reporting is enabled",
           "      V   1:0 1  Сообщения об ошибках выравнивания длинного физического сектора "
           "разрешены"},
          {"      V   1:0 2  The device shall report command aborted when an Alignment Error "
           "occurs",
           "      V   1:0 2  При ошибке выравнивания устройство прерывает команду (command "
           "aborted)"},
          {"      V   1:0 3  Reserved", "      V   1:0 3  Зарезервировано"},
      };
      Emit(std::string(T(kAlignment[w49 & 3u])));
    }
    if (Ata(8)) {
      WordLine(100, "M  ", Same("Word 50: Capabilities 2"));
      BitText('F', W(50), 0,
              {"Device has a minimum Standby timer value that is vendor specific",
               "Минимальное значение таймера режима ожидания задается производителем"},
              {"Device no has a minimum Standby timer value that is vendor specific",
               "Минимальное значение таймера режима ожидания не задается производителем"});
    }
    if (Ata(1, 4))
      WordLine(103, "   ",
               {"Word 51: PIO data transfer mode number: ",
                "Word 51: Номер режима передачи данных PIO: "},
               Num(Hi(51)));
    if (Ata(1, 2))
      WordLine(105, "   ",
               {"Word 52: DMA data transfer mode number: ",
                "Word 52: Номер режима передачи данных DMA: "},
               Num(Hi(52)));

    const std::uint32_t w53 = W(53);
    const Tx valid{"valid", "верны"}, invalid{"invalid", "неверны"};
    WordLine(106, "M  ", {"Word 53: Fields validation", "Word 53: Корректность данных"});
    if (Ata(4, 8))
      LabelledText('F', w53, 2, T({"The fields reported in word 88 are ", "Данные в слове 88 "}),
                   valid, invalid);
    if (Ata(2, 8))
      LabelledText('F', w53, 1,
                   T({"The fields reported in words 64-70 are ", "Данные в словах 64-70 "}), valid,
                   invalid);
    if (Ata(1, 5))
      LabelledText('V', w53, 0,
                   T({"The fields reported in words 54-58 are ", "Данные в словах 54-58 "}), valid,
                   invalid);
  }

  // Words 54 to 61.
  void CurrentGeometry() {
    WordLine(108, " V ",
             {"Word 54: Number of current logical cylinders:",
              "Word 54: Текущее количество логических цилиндров:"},
             kCurrentWidth, Num(W(54)));
    WordLine(110, " V ",
             {"Word 55: Number of current logical heads:",
              "Word 55: Текущее количество логических головок:"},
             kCurrentWidth, Num(W(55)));
    WordLine(112, " V ",
             {"Word 56: Number of current logical sectors per logical track: ",
              "Word 56: Текущее количество логических секторов на дорожке: "},
             kCurrentWidth, Num(W(56)));
    WordLine(
        114, " V ",
        {"Words 57-58: Current capacity in sectors: ", "Words 57-58: Текущая емкость в секторах: "},
        Size(IdentifyDWord(smart_, 57)));

    // The bits of the high byte of word 59, numbered within that byte.
    const std::uint32_t high = Hi(59);
    WordLine(119, "M  ",
             {"Word 59: Multiple sector setting and Sanitize Device feature set (high byte)",
              "Word 59: (Старший байт) Параметры для команд READ/WRITE MULTIPLE и набор команд "
              "Sanitize Device"});
    if (Ata(8)) {
      if (ru_) {
        BitText(' ', high, 7, Same("Поддерживает метод Overwrite"),
                Same("Не поддерживает метод Overwrite"));
        BitText(' ', high, 6, Same("Поддерживает метод Block Erase"),
                Same("Не поддерживает метод Block Erase"));
        BitText(' ', high, 5, Same("Поддерживает метод Cryptographic Scramble"),
                Same("Не поддерживает метод Cryptographic Scramble"));
        BitText(' ', high, 4, Same("Поддерживает методы Sanitize Device"),
                Same("Не поддерживает методы Sanitize Device"));
      } else {
        static constexpr BitRow kSanitize[] = {
            {7, ' ', Same("Overwrite method:")},
            {6, ' ', Same("Block Erase method:")},
            {5, ' ', Same("Cryptographic Scramble method:")},
            {4, ' ', Same("Sanitize Device methods:")},
        };
        Rows(high, kSanitize, kSanitizeWidth, Same("supported"), Same("not supported"));
      }
    }
    BitText(
        'V', high, 0,
        {"Multiple sector setting is valid", "Число секторов для READ/WRITE MULTIPLE установлено"},
        {"Multiple sector setting is not valid",
         "Число секторов для READ/WRITE MULTIPLE не установлено"});
    WordLine(118, " V ",
             {"Word 59: Low byte. Current number of sectors per interrupt for R/W Multiple "
              "command: ",
              "Word 59: Младший байт. Текущее число секторов на прерывание для команд R/W "
              "Multiple: "},
             Num(Lo(59)));
    WordLine(120, " V ",
             {"Words 60-61: Total number of user addressable sectors: ",
              "Words 60-61: Общее число секторов, доступных пользователю: "},
             Size(IdentifyDWord(smart_, 60)));
  }

  // Words 62 to 68.
  void TransferModes() {
    if (Ata(1, 2) && Lo(62) != 0)
      WordLine(124, "   ",
               {"Word 62: Single word DMA transfer modes supported: ",
                "Word 62: Поддерживаемые режимы Single word DMA: "},
               BitListText(0, 0, 7, Lo(62)));
    if (Ata(1, 2) && Hi(62) != 0)
      WordLine(125, "   ",
               {"Word 62: Single word DMA transfer mode active: ",
                "Word 62: Активный режим Single word DMA: "},
               BitListText(0, 0, 7, Hi(62)));
    if (Lo(63) != 0)
      WordLine(126, "M  ",
               {"Word 63: Multiword DMA transfer modes supported: ",
                "Word 63: Поддерживаемые режимы Multiword DMA: "},
               BitListText(0, 0, 2, Lo(63)));
    if (Hi(63) != 0)
      WordLine(127, "M  ",
               {"Word 63: Multiword DMA transfer mode active: ",
                "Word 63: Активный режим Multiword DMA: "},
               BitListText(0, 0, 2, Hi(63)));
    if (Ata(2, 8) && Lo(64) != 0)
      WordLine(128, "M  ",
               {"Word 64: Advanced PIO transfer modes supported: ",
                "Word 64: Поддерживаемые режимы Advanced PIO: "},
               BitListText(3, 0, 1, Lo(64)));
    if (Ata(2, 8)) {
      WordLine(130, "M  ",
               {"Word 65: Minimum Multiword DMA transfer cycle time per word (in nanoseconds)    "
                "      : ",
                "Word 65: Минимальное время цикла Multiword DMA на слово (нс)          : "},
               Num(W(65)));
      WordLine(132, "M  ",
               {"Word 66: Manufacturer’s recommended Multiword DMA transfer cycle time (in "
                "nanoseconds): ",
                "Word 66: Рекомендуемое производителем время цикла Multiword DMA (нс)  : "},
               Num(W(66)));
      WordLine(134, "M  ",
               {"Word 67: Minimum PIO transfer cycle time without flow control (in nanoseconds)"
                "        : ",
                "Word 67: Минимальное время цикла PIO без управления потоком (нс)      : "},
               Num(W(67)));
      WordLine(136, "M  ",
               {"Word 68: Minimum PIO transfer cycle time with IORDY (in nanoseconds)          "
                "        : ",
                "Word 68: Минимальное время цикла PIO с управлением по IORDY (нс)      : "},
               Num(W(68)));
    }
  }

  // Word 69 and the queue depth of word 75.
  void Word69And75() {
    if (Ata(8)) {
      WordLine(138, "M  ",
               {"Word 69: Command set supported.", "Word 69: Поддерживаемые наборы команд."});
      Rows(W(69), kWord69, kWord69Width, {"supported", "Поддерживается"},
           {"not supported", " Не поддерживается"});
    }
    // ATA-4 counted the depth from 0, ATA-5 and later from 1.
    const std::uint32_t n = Lo(75);
    const Tx label{"Word 75: Maximum queue depth: ", "Word 75: Максимальная глубина очереди: "};
    if (Ata(4) && !Ata(5, 7)) WordLine(150, "OF ", label, Num(n));
    if (Ata(5, 8) && !Ata(4)) WordLine(150, "OF ", label, Num(n + 1));
    if (Ata(5, 8) && Ata(4))
      WordLine(150, "OF ", label,
               Num(n + 1) + std::string(T({" (in ATA-4 ", " (согласно ATA-4 "})) + Num(n) + ")");
  }

  // Words 76, 78 and 79.
  void SerialAta() {
    if (!Ata(8)) return;
    const Tx supported{"supported", "Поддерживается"};
    const Tx notSupported{"not supported", " Не поддерживается"};
    WordLine(152, "O  ",
             {"Word 76: Serial ATA Capabilities.", "Word 76: Возможности интерфейса Serial ATA."});
    Rows(W(76), kWord76, kWord76Width, supported, notSupported);
    WordLine(
        156, "O  ",
        {"Word 78: Serial ATA features supported.", "Word 78: Поддерживаемые функции Serial ATA."});
    Rows(W(78), kWords78And79, kWords78And79Width, supported, notSupported);
    WordLine(158, "O  ",
             {"Word 79: Serial ATA features enabled.", "Word 79: Разрешенные функции Serial ATA."});
    Rows(W(79), kWords78And79, kWords78And79Width, {"enabled", "разрешено"},
         {"disabled", "запрещено"});
  }

  // Words 80 and 81.
  void Versions() {
    if (!Ata(3, 8)) return;
    WordLine(160, "M  ", {"Word 80: ATA supported: ", "Word 80: Поддерживаемые стандарты ATA: "},
             BitListText(1, 1, 14, W(80)));
    WordLine(162, "M  ", {"Word 81: ATA version: ", "Word 81: Версия стандарта ATA:         "},
             AtaVersionText(W(81)));
  }

  // Words 82 to 87.
  void CommandSets() {
    const Tx supportedHeading{"Word 82: Command set supported.",
                              "Word 82: Поддержка наборов команд."};
    if (Ata(3, 8)) {
      WordLine(164, "M  ", supportedHeading);
      Features(82, 0, kWords82And85, kWords82And85Width);
    }
    if (Ata(4, 8)) {
      WordLine(166, "M  ",
               {"Word 83: Command set supported.", "Word 83: Поддержка наборов команд."});
      Features(83, 0, kWords83And86, kWords83And86Width);
    }
    if (Ata(6, 8)) {
      WordLine(168, "M  ",
               {"Word 84: Command set/feature supported extension.",
                "Word 84: Поддержка дополнительных наборов команд"});
      Features(84, 0, kWords84And87, kWords84And87Width);
    }
    if (Ata(4, 8)) {
      WordLine(
          170, "M  ",
          {"Word 85: Command set/feature enabled.", "Word 85: Наборы команд разрешены/запрещены"});
      Features(85, 1, kWords82And85, kWords82And85Width);
      WordLine(
          172, "M  ",
          {"Word 86: Command set/feature enabled.", "Word 86: Наборы команд разрешены/запрещены"});
      Features(86, 1, kWords83And86, kWords83And86Width);
    }
    if (Ata(6, 8)) {
      WordLine(174, "M  ",
               {"Word 87: Command set/feature default.",
                "Word 87: Разрешение/запрещение наборов команд по умолчанию"});
      Features(87, 1, kWords84And87, kWords84And87Width);
    }
  }

  // Words 88 to 93.
  void ModesSecurityPower() {
    if (Ata(4, 8) && Lo(88) != 0)
      WordLine(176, "O  ",
               {"Word 88: UltraDMA transfer modes supported: ",
                "Word 88: Поддерживаемые режимы UltraDMA: "},
               BitListText(0, 0, 7, Lo(88)));
    if (Ata(4, 8) && Hi(88) != 0)
      WordLine(177, "O  ",
               {"Word 88: UltraDMA transfer mode active: ", "Word 88: Активный режим UltraDMA: "},
               BitListText(0, 0, 7, Hi(88)));
    if (Ata(4, 8)) {
      WordLine(178, "OF ",
               {"Word 89: Time required for security erase unit completion (minimum minuts): ",
                "Word 89: Время выполнения SECURITY ERASE UNIT (минут): "},
               Num(W(89)));
      WordLine(180, "OF ",
               {"Word 90: Time required for Enhanced security erase completion (minimum "
                "minuts): ",
                "Word 90: Время выполнения расширенного SECURITY ERASE UNIT (минут): "},
               Num(W(90)));
      WordLine(182, "OV ",
               {"Word 91: Current advanced power management level : ",
                "Word 91: Текущий уровень расширенного управления питанием : "},
               Num(Lo(91)));
    }
    const std::uint16_t w92 = W(92);
    if (Ata(5, 8) && w92 != 0x0000 && w92 != 0xFFFF)
      WordLine(184, "OV ",
               {"Word 92: Master Password Revision Code : ", "Word 92: Версия мастер-пароля : "},
               Num(w92));

    const std::uint32_t w93 = W(93);
    if (!Ata(5, 8) || Bit(93, 15) || !Bit(93, 14)) return;
    WordLine(186, "   ",
             {"Word 93: Hardware reset result.", "Word 93: Результат аппаратного сброса."});
    BitText('V', w93, 13, {"Device detected CBLID- > ViH", "Устройство обнаружило CBLID- > ViH"},
            {"Device detected CBLID- < ViL", "Устройство обнаружило CBLID- < ViL"});
    BitText('V', w93, 11, {"Device 1 asserted PDIAG-.", "Устройство 1 выставило сигнал PDIAG-."},
            {"Device 1 did not assert PDIAG-.", "Устройство 1 не выставило сигнал PDIAG-."});
    DeviceNumberLine(
        "      V 9-10 ", (w93 >> 9) & 3u,
        {" Device 1 determined the device number: ", " Устройство 1 определило свой номер: "});
    BitText('V', w93, 8, kNone, kNone);
    BitText('F', w93, 6,
            {"Device 0 responds when Device 1 is selected.",
             "Устройство 0 отвечает, когда выбрано устройство 1."},
            {"Device 0 does not respond when Device 1 is selected.",
             "Устройство 0 не отвечает, когда выбрано устройство 1."});
    BitText('V', w93, 5,
            {"Device 0 detected the assertion of DASP-.", "Устройство 0 обнаружило сигнал DASP-."},
            {"Device 0 did not detect the assertion of DASP-.",
             "Устройство 0 не обнаружило сигнал DASP-."});
    BitText(
        'V', w93, 4,
        {"Device 0 detected the assertion of PDIAG-.", "Устройство 0 обнаружило сигнал PDIAG-."},
        {"Device 0 did not detect the assertion of PDIAG-:",
         "Устройство 0 не обнаружило сигнал PDIAG-."});
    LabelledText('V', w93, 3, T({"Device 0 diagnostics: ", "Диагностика устройства 0: "}),
                 {"passed", "пройдена"}, {"failed", "не пройдена"});
    DeviceNumberLine(
        "      V  1-2 ", (w93 >> 1) & 3u,
        {" Device 0 determined the device number: ", " Устройство 0 определило свой номер: "});
    BitText('V', w93, 0, kNone, kNone);
  }

  void DeviceNumberLine(std::string_view head, std::uint32_t field, const Tx& text) {
    const std::string_view method = T(kDeviceNumberMethods[field & 3u]);
    // The code is two ASCII digits; the meaning keeps its leading blank.
    std::string s(head);
    s += method.substr(0, 2);
    s += T(text);
    s += method.substr(2);
    Emit(s);
  }

  // Words 94 to 118.
  void AcousticsStreaming() {
    if (Ata(6, 8)) {
      WordLine(188, "OV ",
               {"Word 94: Current automatic acoustic management value :    ",
                "Word 94: Текущее значение управления акустикой :          "},
               Num(Lo(94)));
      WordLine(189, "OV ",
               {"Word 94: Vendor’s recommended acoustic management value : ",
                "Word 94: Рекомендуемое производителем значение акустики : "},
               Num(Hi(94)));
    }
    const bool ata7 = Ata(7, 8);
    const std::string bytes(T({" bytes)", " байт)"}));
    if (ata7) {
      const std::uint32_t n = W(95);
      WordLine(190, " F ",
               {"Word 95: Stream Minimum Request Size (in sectors): ",
                "Word 95: Минимальный размер запроса Streaming (в секторах): "},
               Num(n) + " (" + Num(n << 9) + bytes);
      WordLine(192, " V ",
               {"Word 96: Streaming Transfer Time for DMA mode (Streaming Transfer Time = word_96 "
                "* words_99_98 / 65536): ",
                "Word 96: Время передачи Streaming в режиме DMA (время = word_96 * words_99_98 / "
                "65536):           "},
               Num(W(96)));
      WordLine(194, " V ",
               {"Word 97: Streaming Access Latency for DMA and PIO mode (Access Latency = word_97 "
                "* words_99_98 / 256):   ",
                "Word 97: Задержка доступа Streaming в режимах DMA и PIO (задержка = word_97 * "
                "words_99_98 / 256): "},
               Num(W(97)));
      WordLine(196, " F ",
               {"Words 98-99: Streaming Performance Granularity (in microseconds): ",
                "Words 98-99: Гранулярность производительности Streaming (мкс): "},
               Num(IdentifyDWord(smart_, 98)));
    }
    if (Ata(6, 8))
      WordLine(200, "OV ",
               {"Words 100-103: Maximum user LBA for 48-bit address: ",
                "Words 100-103: Максимальный LBA для 48-битной адресации: "},
               Size(IdentifyQWord(smart_, 100)));
    if (!ata7) return;
    WordLine(208, "OV ",
             {"Word 104: Streaming Transfer Time PIO: ",
              "Word 104: Время передачи Streaming в режиме PIO: "},
             Num(W(104)));
    const std::uint32_t w106 = W(106);
    WordLine(212, "OV ",
             {"Word 106: Physical sector size / Logical Sector Size",
              "Word 106: Размер физического сектора/Размер логического сектора"});
    BitText('F', w106, 13,
            {"Device has multiple logical sectors per physical sector.",
             "В физическом секторе несколько логических секторов."},
            {"Device has one logical sectors per physical sector.",
             "В физическом секторе один логический сектор."});
    BitText(' ', w106, 12,
            {"Device Logical Sector Longer than 256 Words", "Логический сектор длиннее 256 слов"},
            {"Device Logical Sector equal 256 Words", "Логический сектор равен 256 словам"});
    Emit(std::string(T({"      F  0-3    Logical sectors per physical sector: ",
                        "      F  0-3    Логических секторов в физическом секторе: "})) +
         Num(std::uint32_t{1} << (w106 & 0xFu)));
    WordLine(214, "OF ",
             {"Word 107: Inter-seek delay for ISO 7779 standard acoustic testing (in "
              "microseconds): ",
              "Word 107: Задержка между поисками при акустических испытаниях по ISO 7779 (мкс): "},
             Num(W(107)));
    WordLine(232, "OF ",
             {"Word 116: The time limit in 10 msec increments for the Command Completion (CCTL): ",
              "Word 116: Предельное время выполнения команды (CCTL) в единицах 10 мс: "},
             Num(W(116)));
    // The size in bytes is computed in 32 bits, as the drive's 32-bit word
    // count doubles.
    const std::uint32_t v = IdentifyDWord(smart_, 117);
    WordLine(234, "OV ",
             {"Words 117-118 : Logical Sector Size (in words): ",
              "Words 117-118 : Размер логического сектора (в словах): "},
             Num(v) + " (" + Num(static_cast<std::uint32_t>(v * 2u)) +
                 std::string(T({" Bytes)", " байт)"})));
  }

  // Words 119 to 205.
  void FeaturesSecurityMedia() {
    if (Ata(8)) {
      WordLine(238, "M  ",
               {"Word 119: Serial ATA features supported.",
                "Word 119: Поддерживаемые функции Serial ATA."});
      Rows(W(119), kWords119And120, kWords119And120Width, Supported(Gram::Masc),
           NotSupported(Gram::Masc));
      WordLine(
          240, "M  ",
          {"Word 120: Serial ATA features enabled.", "Word 120: Разрешенные функции Serial ATA."});
      Rows(W(120), kWords119And120, kWords119And120Width, Enabled(Gram::Masc),
           Disabled(Gram::Masc));
    }
    if (Ata(4, 8)) {
      const std::uint32_t status = W(127) & 3u;
      std::string value;
      if (status == 0)
        value = T(NotSupported(Gram::Neut));
      else if (status == 1)
        value = T(Supported(Gram::Neut));
      else
        value = Num(status) + std::string(T({" Reserved", " Зарезервировано"}));
      WordLine(254, "OF ",
               {"Word 127: Removable Media Status Notification feature set: ",
                "Word 127: Уведомление о состоянии сменного носителя: "},
               value);
    }
    if (Ata(3, 8)) {
      const std::uint32_t w128 = W(128);
      const Tx yes{"Yes", "Да"}, no{"No", "Нет"};
      WordLine(256, "0  ",
               {"Word 128: Security status", "Word 128: Состояние режима безопасности"});
      Labelled('V', w128, 8, {"Security level:", "Уровень безопасности:"}, kWord128Width,
               {"Maximum", "Максимальный"}, {"High", "Высокий"});
      // The Russian report shows the enhanced erase bit for ATA-4 to ATA-7
      // only.
      if (ru_ ? Ata(4, 7) : Ata(4, 8))
        Labelled('F', w128, 5, {"Enhanced security erase: ", "\"Продвинутое\" стирание:"},
                 kWord128Width, Supported(Gram::Neut), NotSupported(Gram::Neut));
      Labelled('V', w128, 4, {"Security count:", "Счетчик попыток ввода пароля:"}, kWord128Width,
               {"expired", "исчерпан"}, {"not expired", "не исчерпан"});
      Labelled('V', w128, 3, {"Security frozen:", "Режим безопасности заморожен:"}, kWord128Width,
               yes, no);
      Labelled('V', w128, 2, {"Security locked:", "Устройство заблокировано:"}, kWord128Width, yes,
               no);
      // "Security " stands unpadded in the English report.
      const Width security{0, kWord128Width.ru};
      Labelled('V', w128, 1, {"Security ", "Режим безопасности:"}, security, Enabled(Gram::Masc),
               Disabled(Gram::Masc));
      Labelled('F', w128, 0, {"Security ", "Режим безопасности:"}, security, Supported(Gram::Masc),
               NotSupported(Gram::Masc));
    }
    if (Ata(5, 8)) {
      const std::uint32_t w160 = W(160);
      WordLine(320, "O  ", {"Word 160: CFA power mode 1", "Word 160: Режим питания CFA 1"});
      LabelledText('F', w160, 15, T(Same("CFA Power Mode 1: ")), Supported(Gram::Masc),
                   NotSupported(Gram::Masc));
      BitText('F', w160, 13,
              {"CFA power mode 1 is required for one or more commands implemented by the device",
               "CFA Power Mode 1 требуется для одной или нескольких команд устройства"},
              {"CFA power mode 1 is no required for one or more commands implemented by the "
               "device",
               "CFA Power Mode 1 не требуется ни для одной команды устройства"});
      BitText('V', w160, 12,
              {"The device is in CFA Power Mode 0", "Устройство в режиме CFA Power Mode 0"},
              {"The device is in CFA Power Mode 1", "Устройство в режиме CFA Power Mode 1"});
      Emit(std::string(T({"      F 0-11    Maximum average RMS in Milliamperes required during "
                          "3.3V or 5V in CFA Power Mode 1: ",
                          "      F 0-11    Максимальный средний ток (RMS, мА) при 3.3V или 5V в "
                          "CFA Power Mode 1: "})) +
           Num(w160 & 0x0FFFu));
    }
    if (Ata(6, 8)) {
      WordLine(352, "O  ",
               {"Words 176-195: Current media serial number:",
                "Words 176-195: Текущий серийный номер носителя:"});
      DumpIfAny(352, 40);
      WordLine(392, "O  ",
               {"Words 196-205: Current media manufacturer:",
                "Words 196-205: Текущий производитель носителя:"});
      DumpIfAny(392, 20);
    }
  }

  TIDE_SMART& smart_;
  const TReportLineProc& line_;
  IdentifyLanguage language_;
  bool ru_;
  AtaClaims claims_;
};

}  // namespace

std::string OffsetPrefix(int position) {
  return PadLeft(std::to_string(position), 3) + ": ";
}

std::string BitLine(std::uint32_t value, int bit, std::string_view textFor1,
                    std::string_view textFor0) {
  return LabelledBitLine(value, bit, {}, textFor1, textFor0);
}

std::string LabelledBitLine(std::uint32_t value, int bit, std::string_view label,
                            std::string_view textFor1, std::string_view textFor0) {
  const bool set = bit >= 0 && bit < 32 && ((value >> bit) & 1u) != 0;
  std::string s = "  " + PadLeft(std::to_string(bit), 2) + " " + (set ? "1" : "0") + "  ";
  s += label;
  s += set ? textFor1 : textFor0;
  return s;
}

std::string YesNoText(std::uint32_t n, IdentifyLanguage language) {
  const bool ru = language == IdentifyLanguage::Russian;
  if (n == 0) return ru ? "Нет" : "No";
  if (n == 1) return ru ? "Да" : "Yes";
  return "Unknown " + std::to_string(n);
}

void WriteIdentifyReport(TIDE_SMART& smart, const TReportLineProc& line,
                         IdentifyLanguage language) {
  Writer(smart, line, language).Write();
}

void ReportIdentifyEnglish(TIDE_SMART& smart, const TReportLineProc& line) {
  if (!smart.IsOpen || !smart.LoadIdentify()) return;
  WriteIdentifyReport(smart, line, IdentifyLanguage::English);
}

void ReportIdentifyRussian(TIDE_SMART& smart, const TReportLineProc& line) {
  if (!smart.IsOpen || !smart.LoadIdentify()) return;
  WriteIdentifyReport(smart, line, IdentifyLanguage::Russian);
}

void ReportIdentify(TIDE_SMART& smart, const TReportLineProc& line, int language) {
  if (language == kIdentifyRussian)
    ReportIdentifyRussian(smart, line);
  else
    ReportIdentifyEnglish(smart, line);
}

}  // namespace dt
