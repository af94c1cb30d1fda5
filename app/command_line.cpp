#include "app/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "ui/main_window_handlers.h"
#include "vexorin/version.h"

namespace vex {
namespace {

QString tr(const char* text) { return QCoreApplication::translate("DesktopCommandLine", text); }

// Latin-1 maps every byte to one character and back, so values survive the parser unchanged.
QString fromBytes(const char* bytes) { return QString::fromLatin1(bytes); }
std::string toBytes(const QString& text) { return text.toLatin1().toStdString(); }

std::string helpText(const QCommandLineParser& parser) {
    // Without an application object the parser cannot know the program's name.
    QString usage = parser.helpText();
    usage.replace(QStringLiteral("<executable_name>"), QStringLiteral("vexorin"));
    std::string text = usage.toStdString();
    text += '\n';
    text += tr("Without --data-dir the stores live in the program's folder when it may write\n"
               "there and it is not installed (a portable copy), otherwise in\n"
               "$XDG_DATA_HOME/vexorin (by default ~/.local/share/vexorin). One window runs\n"
               "per data directory: starting the program again on the same folder brings\n"
               "that window to the front.\n")
                .toStdString();
    const std::string homePage = homePageAddress();
    if (!homePage.empty()) text += "\n" + tr("Home page: ").toStdString() + homePage + "\n";
    return text;
}

DesktopCommandLine refuse(const std::string& reason) {
    return {DesktopCommandLine::Action::Refuse, {}, reason};
}

}  // namespace

DesktopCommandLine parseDesktopCommandLine(int argc, char** argv, CommandLineCheck check) {
    QCommandLineParser parser;
    // Qt's own options have one dash and long names (-platform, -reverse): read them as
    // whole names, never as bundles of one-letter options such as -v.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(tr("Tells what kind of file a file really is from its first bytes."));
    const QCommandLineOption dataDirOption(QStringList{QStringLiteral("data-dir")},
                                           tr("Keep data.mdb, set.ini and setok.ini in <DIR>, which is "
                                              "created when missing."),
                                           tr("DIR"));
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                        tr("Show this help and exit."));
    const QCommandLineOption versionOption(QStringList{QStringLiteral("v"), QStringLiteral("version")},
                                           tr("Show the version and exit."));
    parser.addOption(dataDirOption);
    parser.addOption(helpOption);
    parser.addOption(versionOption);

    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << fromBytes(argv[i]);
    if (arguments.isEmpty()) arguments << QStringLiteral("vexorin");
    const bool parsed = parser.parse(arguments);

    // Help and version win over anything else on the line, as in most programs.
    if (parser.isSet(helpOption)) return {DesktopCommandLine::Action::ShowHelp, {}, helpText(parser)};
    if (parser.isSet(versionOption)) {
        return {
            DesktopCommandLine::Action::ShowVersion, {}, std::string("vexorin ") + VEXORIN_VERSION + "\n"};
    }
    // Before Qt has read argv, an unknown option and the word after it may be Qt's.
    const bool mayBeQtsOwn = check == CommandLineCheck::BeforeQt && !parser.unknownOptionNames().isEmpty();
    if (!parsed && !mayBeQtsOwn) return refuse(toBytes(parser.errorText()));
    if (check == CommandLineCheck::Complete && !parser.positionalArguments().isEmpty()) {
        return refuse(tr("Unexpected argument '").toStdString() +
                      toBytes(parser.positionalArguments().first()) +
                      tr("': the program opens no files from its command line.").toStdString());
    }

    DesktopCommandLine commandLine;
    if (parser.isSet(dataDirOption)) {
        const std::string directory = toBytes(parser.value(dataDirOption));
        // An empty text would silently mean "the default folder": refuse it instead.
        if (directory.empty()) return refuse(tr("--data-dir needs a folder name.").toStdString());
        std::error_code error;
        const std::filesystem::path absolute = std::filesystem::absolute(directory, error);
        // Not made lexically normal: "link/.." means what the file system says it means.
        commandLine.dataDirectory = error ? directory : absolute.string();
    }
    return commandLine;
}

int finishWithoutWindow(const DesktopCommandLine& commandLine) {
    if (commandLine.action == DesktopCommandLine::Action::Refuse) {
        std::fprintf(stderr, "vexorin: %s\n%s\n", commandLine.text.c_str(),
                     tr("Try 'vexorin --help' for more information.").toStdString().c_str());
        return 1;
    }
    std::fputs(commandLine.text.c_str(), stdout);
    std::fflush(stdout);
    return 0;
}

}  // namespace vex
