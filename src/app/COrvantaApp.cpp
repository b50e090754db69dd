#include "app/COrvantaApp.h"

#include "app/HeadlessRun.h"
#include "app/LanguageChoice.h"

#include <QApplication>
#include <QLocale>

namespace orvanta::app {

bool SystemLanguageIsChineseChina() {
    const QLocale system = QLocale::system();
    return system.language() == QLocale::Chinese && system.territory() == QLocale::China;
}

COrvantaDlg::Options StartupOptions(const std::filesystem::path& configPath,
                                    bool systemLanguageIsChineseChina) {
    const LanguageChoice language = ChooseLanguage(configPath, systemLanguageIsChineseChina);
    COrvantaDlg::Options options;
    options.host.configPath = configPath;
    options.host.dataDirectory = DefaultDataDirectory();
    options.host.languageFlag = language.LanguageFlag;
    options.backgroundBitmap = language.BackgroundBitmap;
    return options;
}

int COrvantaApp::Run(int& argc, char** argv) {
    m_skin.Start(nullptr, "SCRIBBLE", 0, 0);
    m_skin.LoadSkinFile(kSkinPath);

    {
        QApplication application(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Orvanta"));
        COrvantaDlg::Options options = StartupOptions(kConfigPath, SystemLanguageIsChineseChina());
        options.skin = &m_skin;
        {
            COrvantaDlg window(std::move(options));
            window.Initialise();
            window.show();
            application.exec();
        }
    }
    // The exit handler: the skin goes, the exit code is 0.
    m_skin.Stop();
    return 0;
}

} // namespace orvanta::app
