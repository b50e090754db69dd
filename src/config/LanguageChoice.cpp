#include "config/LanguageChoice.h"

#include <cstdlib>
#include <string>

namespace orvanta::config {

LanguageChoice ChooseLanguage(const std::filesystem::path& configPath,
                              bool systemLocaleIsChineseChina) {
    const ConfigFile file(configPath);
    bool chinese;
    if (file.Exists()) {
        const std::string language = file.ReadLanguage();
        chinese = language.size() >= 2 && language[0] == 'C' && language[1] == 'H';
    } else {
        chinese = systemLocaleIsChineseChina;
    }
    return chinese ? LanguageChoice{0, kChineseBackgroundBitmap}
                   : LanguageChoice{1, kEnglishBackgroundBitmap};
}

std::optional<UserMessage> StoreLanguageChoice(ConfigFile& file, int languageFlag) {
    if (!file.Exists()) {
        return std::nullopt;
    }
    const bool english = languageFlag == 1;
    if (file.WriteString("LANGUAGE", english ? "EN" : "CH") != ProfileStatus::Ok) {
        return std::nullopt;
    }
    return english ? UserMessage{"Message", "Restart to take effect!!"}
                   : UserMessage{"提示", "重启软件生效!!"};
}

std::optional<UserMessage> StoreLanguageChoice(const std::filesystem::path& configPath,
                                               int languageFlag) {
    ConfigFile file(configPath);
    return StoreLanguageChoice(file, languageFlag);
}

bool SystemLocaleIsChineseChina() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            const std::string locale(value);
            return locale.rfind("zh_CN", 0) == 0;
        }
    }
    return false;
}

} // namespace orvanta::config
