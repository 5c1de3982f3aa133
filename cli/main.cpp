// The command-line converter for Linux and macOS: converts every file named
// on the command line with the keywords of a settings file, and says on
// stderr what it skipped. "-" converts standard input to standard output.
//
// Options come before the files: --help and --version print and exit 0,
// --settings names the settings file, --encoding forces how every file is
// read, "--" ends the options so that a file named "--help" can be
// converted. Any other argument, even one that starts
// with '-', is a file, as it always was.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/outcome_text.h"
#include "core/decoration_table.h"
#include "core/file_batch.h"
#include "core/line_decorator.h"
#include "platform/platform.h"
#include "settings/settings_file.h"
#include "tintmark_version.h"

static const char usageText[] =
    "usage: tintmark [--help | --version] [--settings FILE]\n"
    "                [--encoding auto|cp932|utf-8|utf-16le|utf-16be] [--] FILE...\n"
    "  (writes FILE's name up to its last '.' followed by \"html\"; \"-\" converts\n"
    "  standard input to standard output)\n";

static const char helpText[] =
    "Converts each FILE, plain text in code page 932 (Shift-JIS), UTF-8 or UTF-16,\n"
    "into an HTML fragment with the keywords of a settings file decorated. The\n"
    "output goes beside the input: its path up to and including its last '.', then\n"
    "\"html\". A FILE of \"-\" (once at most) converts standard input to standard\n"
    "output.\n"
    "\n"
    "  --help             print this help and exit\n"
    "  --version          print the version and exit\n"
    "  --settings FILE    read the keywords from FILE (also --settings=FILE); when\n"
    "                     it cannot be read, nothing is converted\n"
    "  --encoding NAME    read every FILE as NAME (also --encoding=NAME): auto, the\n"
    "                     default, decides for each file; cp932, utf-8, utf-16le or\n"
    "                     utf-16be forces one (utf-16 alone, with no byte order, is\n"
    "                     refused)\n"
    "  --                 end of the options: every later argument is a file\n"
    "\n"
    "A file that begins with FF FE or FE FF is UTF-16 (little- or big-endian): it\n"
    "is converted as its UTF-8 form would be, and written in UTF-16 again, in its\n"
    "own byte order; an odd last byte is copied as it is. A file is read as UTF-8\n"
    "when it begins with EF BB BF, or when the 64 KiB from its first non-ASCII\n"
    "byte on are valid UTF-8; otherwise as code page 932. In UTF-8 and UTF-16\n"
    "files the keywords (kept in code page 932) are searched for in UTF-8. A\n"
    "keyword only ever matches whole characters, never the second byte of one. A\n"
    "code page 932 file whose non-ASCII bytes happen to be valid UTF-8\n"
    "(half-width katakana such as the bytes C3 B1) is read as UTF-8: use\n"
    "--encoding cp932 for it.\n"
    "\n"
    "Without --settings, the first of these that exists is read:\n"
    "  ./TintMark.dat\n"
    "  $XDG_CONFIG_HOME/tintmark/TintMark.dat   when XDG_CONFIG_HOME is an absolute path\n"
    "  ~/.config/tintmark/TintMark.dat          otherwise\n"
    "With none, the files are converted with no keyword decorated. The settings\n"
    "file is never written. It may be in code page 932 or in UTF-8, decided as\n"
    "for a text but over the whole file (half-width katakana alone can make a\n"
    "code page 932 file read as UTF-8); a keyword or colour of a UTF-8 file that\n"
    "code page 932 cannot hold is kept as written, such a keyword matches\n"
    "nothing, and each is named on stderr with its line.\n"
    "\n"
    "Exit status: 0 when every file was converted, 1 when one was skipped or\n"
    "could not be read (each named on stderr), 2 when no file was given, an\n"
    "option was wrong, the --encoding name is unknown or the --settings file\n"
    "could not be read.\n";

static const char STANDARD_STREAMS[] = "-";

// The options, each with or without a value. One with a value is given as
// "--name VALUE" or "--name=VALUE".
enum Option { OPTION_HELP, OPTION_VERSION, OPTION_SETTINGS, OPTION_ENCODING, OPTION_COUNT };

struct OptionForm {
    const char* name;
    bool takesValue;
};

static const OptionForm OPTIONS[OPTION_COUNT] = {
    {"--help", false},
    {"--version", false},
    {"--settings", true},
    {"--encoding", true},
};

// The readings --encoding names, in any case.
struct EncodingName {
    const char* name;
    EncodingChoice choice;
};

static const EncodingName ENCODINGS[] = {
    {"auto", ENCODING_AUTO},
    {"cp932", ENCODING_ALWAYS_CP932},
    {"utf-8", ENCODING_ALWAYS_UTF8},
    {"utf8", ENCODING_ALWAYS_UTF8},
    {"utf-16le", ENCODING_ALWAYS_UTF16LE},
    {"utf16le", ENCODING_ALWAYS_UTF16LE},
    {"utf-16be", ENCODING_ALWAYS_UTF16BE},
    {"utf16be", ENCODING_ALWAYS_UTF16BE},
};

// Names that leave the byte order open, which only a mark would tell.
static const char* const AMBIGUOUS_ENCODINGS[] = {"utf-16", "utf16"};

static bool sameIgnoringCase(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        const char x = *a >= 'A' && *a <= 'Z' ? static_cast<char>(*a - 'A' + 'a') : *a;
        if (x != *b) {
            return false;
        }
    }
    return *a == *b;
}

// The reading an --encoding value names; false when it names none.
static bool encodingNamed(const char* name, EncodingChoice* choice) {
    for (const EncodingName& known : ENCODINGS) {
        if (sameIgnoringCase(name, known.name)) {
            *choice = known.choice;
            return true;
        }
    }
    return false;
}

// What readOption gives for an argument that is no option, and after a
// wrong one (already reported).
constexpr int NOT_AN_OPTION = -1;
constexpr int OPTION_WRONG = -2;

// Reads the option at argv[*at] and moves *at past it (and past its value).
// Returns the option, with its value in *value when it takes one.
static int readOption(int argc, char** argv, int* at, const char** value) {
    const char* arg = argv[*at];
    for (int option = 0; option < OPTION_COUNT; ++option) {
        const OptionForm& form = OPTIONS[option];
        const size_t length = std::strlen(form.name);
        if (std::strncmp(arg, form.name, length) != 0) {
            continue;
        }
        if (arg[length] == '\0') {
            *at += 1;
            if (!form.takesValue) {
                return option;
            }
            if (*at >= argc) {
                std::fprintf(stderr, "tintmark: %s needs a value\n", form.name);
                return OPTION_WRONG;
            }
            *value = argv[*at];
            *at += 1;
        } else if (form.takesValue && arg[length] == '=') {
            *value = arg + length + 1;
            *at += 1;
        } else {
            continue;
        }
        if (**value == '\0') {
            std::fprintf(stderr, "tintmark: %s needs a value\n", form.name);
            return OPTION_WRONG;
        }
        return option;
    }
    return NOT_AN_OPTION;
}

// The settings file's places when --settings names none, in order.
static const char CURRENT_FOLDER_FILE[] = "./" TINTMARK_SETTINGS_NAME;
static char configFile[SETTINGS_PATH_CAPACITY];

// Fills configFile: $XDG_CONFIG_HOME, or its default ~/.config, then
// tintmark/TintMark.dat. A relative or empty XDG_CONFIG_HOME counts as
// unset, as that convention has it; without a usable HOME either, or when
// the path does not fit, there is no such place and false is returned.
static bool findConfigFile() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    int length = -1;
    if (config != nullptr && config[0] == '/') {
        length = std::snprintf(configFile, sizeof configFile, "%s/tintmark/%s", config,
                               TINTMARK_SETTINGS_NAME);
    } else if (home != nullptr && home[0] == '/') {
        length = std::snprintf(configFile, sizeof configFile, "%s/.config/tintmark/%s", home,
                               TINTMARK_SETTINGS_NAME);
    }
    return length > 0 && static_cast<size_t>(length) < sizeof configFile;
}

// Tells, once for each entry, which keyword or colour of a UTF-8 settings
// file has a character that code page 932 cannot hold, and where.
static void reportKeptEntries(const char* file) {
    for (int32_t i = 0; i < decorationTable.count; ++i) {
        const uint8_t kept = decorationTable.entries[i].keptUtf8;
        const int line = static_cast<int>(settingsKeywordLine(i));
        if (kept == (KEPT_KEYWORD | KEPT_COLOUR)) {
            std::fprintf(stderr,
                         "tintmark: %s:%d: the keyword (and the colour on line %d) has a "
                         "character that code page 932 cannot hold; kept as written, the "
                         "keyword matches nothing\n",
                         file, line, line + 1);
        } else if (kept == KEPT_KEYWORD) {
            std::fprintf(stderr,
                         "tintmark: %s:%d: the keyword has a character that code page 932 "
                         "cannot hold; kept as written, it matches nothing\n",
                         file, line);
        } else if (kept == KEPT_COLOUR) {
            std::fprintf(stderr,
                         "tintmark: %s:%d: the colour has a character that code page 932 "
                         "cannot hold; it is written as it stands\n",
                         file, line + 1);
        }
    }
}

// Chooses and loads the settings file. False when --settings named one that
// cannot be read: nothing may be converted then.
static bool loadChosenSettings(const char* named) {
    if (named != nullptr) {
        if (!setSettingsPath(named) || !loadSettings()) {
            std::fprintf(stderr, "tintmark: %s: cannot read the settings file\n", named);
            return false;
        }
        reportKeptEntries(named);
        return true;
    }
    const bool configKnown = findConfigFile();
    const char* found = nullptr;
    if (platformFileExists(CURRENT_FOLDER_FILE)) {
        found = CURRENT_FOLDER_FILE;
    } else if (configKnown && platformFileExists(configFile)) {
        found = configFile;
    }
    if (found == nullptr) {
        std::fprintf(stderr,
                     "tintmark: no settings file found (looked for %s%s%s); no keyword is "
                     "decorated\n",
                     CURRENT_FOLDER_FILE, configKnown ? " and " : "",
                     configKnown ? configFile : "");
        return true; // the table starts empty
    }
    setSettingsPath(found);
    if (!loadSettings()) {
        std::fprintf(stderr,
                     "tintmark: %s: cannot read the settings file; no keyword is decorated\n",
                     found);
    }
    reportKeptEntries(found);
    return true;
}

static void reportSkipped(void*, int, const char* inputPath, FileOutcome outcome) {
    if (outcomeIsFailure(outcome)) {
        std::fprintf(stderr, "tintmark: %s: %s\n", inputPath, outcomeText(outcome));
    }
}

// Standard input to standard output. True when it was read and written.
static bool convertStandardStreams() {
    const FileOutcome outcome = decorateStreams(stdin, stdout);
    if (!outcomeIsFailure(outcome)) {
        return true;
    }
    std::fputs(outcome == FILE_INPUT_UNREADABLE ? "tintmark: -: cannot read standard input\n"
                                                : "tintmark: -: cannot write standard output\n",
               stderr);
    return false;
}

int main(int argc, char** argv) {
    const char* settingsFile = nullptr;
    int first = 1;
    while (first < argc) {
        if (std::strcmp(argv[first], "--") == 0) {
            ++first;
            break;
        }
        const char* value = nullptr;
        const int option = readOption(argc, argv, &first, &value);
        if (option == NOT_AN_OPTION) {
            break;
        }
        switch (option) {
        case OPTION_HELP:
            std::fputs(usageText, stdout);
            std::fputs(helpText, stdout);
            return 0;
        case OPTION_VERSION:
            std::fputs("tintmark " TINTMARK_VERSION "\n", stdout);
            return 0;
        case OPTION_SETTINGS:
            settingsFile = value;
            break;
        case OPTION_ENCODING: {
            EncodingChoice choice = ENCODING_AUTO;
            bool ambiguous = false;
            for (const char* name : AMBIGUOUS_ENCODINGS) {
                ambiguous = ambiguous || sameIgnoringCase(value, name);
            }
            if (ambiguous) {
                std::fprintf(stderr,
                             "tintmark: encoding \"%s\" does not say its byte order (use "
                             "utf-16le or utf-16be; auto reads a UTF-16 file by its mark)\n",
                             value);
                return 2;
            }
            if (!encodingNamed(value, &choice)) {
                std::fprintf(stderr,
                             "tintmark: unknown encoding \"%s\" (use auto, cp932, utf-8, "
                             "utf-16le or utf-16be)\n",
                             value);
                return 2;
            }
            setDecoratorEncoding(choice);
            break;
        }
        default:
            std::fputs(usageText, stderr);
            return 2;
        }
    }
    if (first >= argc) {
        std::fputs(usageText, stderr);
        return 2;
    }
    // Standard input can be read only once.
    int streams = -1;
    for (int i = first; i < argc; ++i) {
        if (std::strcmp(argv[i], STANDARD_STREAMS) != 0) {
            continue;
        }
        if (streams >= 0) {
            std::fputs("tintmark: \"-\" (standard input) may be given only once\n", stderr);
            return 2;
        }
        streams = i;
    }
    if (!loadChosenSettings(settingsFile)) {
        releaseKeywords();
        return 2;
    }
    const BatchListener listener = {nullptr, nullptr, reportSkipped, nullptr};
    bool allConverted;
    if (streams < 0) {
        allConverted = convertFiles(argc - first, argv + first, &listener);
    } else {
        // The files before "-", standard input, then the files after it.
        allConverted = convertFiles(streams - first, argv + first, &listener);
        allConverted = convertStandardStreams() && allConverted;
        allConverted =
            convertFiles(argc - streams - 1, argv + streams + 1, &listener) && allConverted;
    }
    // Nothing is saved in this mode, so the keyword copies are released here.
    releaseKeywords();
    return allConverted ? 0 : 1;
}
