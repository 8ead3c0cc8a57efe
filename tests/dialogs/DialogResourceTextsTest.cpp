// The Windows dialog templates take their texts from windows/DialogTexts*.rch; the code fills
// the same controls (and the Linux dialogs) from DialogTexts. Both must say the same, in each
// language, or a dialog would change its words when a page is refreshed.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

#include "dialogs/DialogTexts.h"
#include "platform/SystemLanguage.h"

namespace velcor::dialogs {
namespace {

// The resource scripts' text macros and the texts the code uses for the same controls.
const std::map<std::string, const char* DialogTexts::*> kMacroFields = {
    {"T_TITLE", &DialogTexts::title},
    {"T_OK", &DialogTexts::ok},
    {"T_CANCEL", &DialogTexts::cancel},
    {"T_DEFAULT", &DialogTexts::defaults},
    {"T_APPLY", &DialogTexts::apply},
    {"T_OUTPUT_FORMAT", &DialogTexts::outputFormat},
    {"T_SIZE", &DialogTexts::size},
    {"T_SUB_SAMPLE", &DialogTexts::subSample},
    {"T_CLOCK", &DialogTexts::clock},
    {"T_H_TOTAL", &DialogTexts::hTotal},
    {"T_V_TOTAL", &DialogTexts::vTotal},
    {"T_H_EFFECTIVE", &DialogTexts::hEffective},
    {"T_V_EFFECTIVE", &DialogTexts::vEffective},
    {"T_H_START", &DialogTexts::hStart},
    {"T_V_START", &DialogTexts::vStart},
    {"T_WAIT_TIME", &DialogTexts::waitTime},
    {"T_NOTE", &DialogTexts::wordTransferNote},
    {"T_GLOBAL_GAIN", &DialogTexts::globalGain},
    {"T_EXPOSURE", &DialogTexts::exposure},
    {"T_EXPOSURE_EX", &DialogTexts::exposureSeconds},
    {"T_BLACK_LEVEL", &DialogTexts::blackLevel},
    {"T_PELTIER", &DialogTexts::peltier},
    {"T_SHORT_EXPOSURE", &DialogTexts::shortExposureMode},
    {"T_GAIN_MODE", &DialogTexts::gainMode},
    {"T_AUTO_IRIS", &DialogTexts::autoIris},
    {"T_AUTO_IRIS_GAIN", &DialogTexts::autoIrisGain},
    {"T_AUTO_IRIS_EXPOSURE", &DialogTexts::autoIrisExposure},
    {"T_MIRROR", &DialogTexts::mirror},
    {"T_MIRROR_V", &DialogTexts::mirrorV},
    {"T_MIRROR_H", &DialogTexts::mirrorH},
    {"T_COLOUR_GAIN_G1", &DialogTexts::colourGainGreen1},
    {"T_COLOUR_GAIN_R", &DialogTexts::colourGainRed},
    {"T_COLOUR_GAIN_B", &DialogTexts::colourGainBlue},
    {"T_COLOUR_GAIN_G2", &DialogTexts::colourGainGreen2},
    {"T_BRIGHTNESS", &DialogTexts::brightness},
    {"T_CONTRAST", &DialogTexts::contrast},
    {"T_HUE", &DialogTexts::hue},
    {"T_SATURATION", &DialogTexts::saturation},
    {"T_SHARPNESS", &DialogTexts::sharpness},
    {"T_GAIN_RED", &DialogTexts::gainRed},
    {"T_GAIN_GREEN", &DialogTexts::gainGreen},
    {"T_GAIN_BLUE", &DialogTexts::gainBlue},
    {"T_GAMMA", &DialogTexts::gamma},
    {"T_AUTO_WHITE_BALANCE", &DialogTexts::autoWhiteBalance},
    {"T_ONCE", &DialogTexts::once},
    {"T_ALL_FRAMES", &DialogTexts::allFrames},
    {"T_BAYER_MODE", &DialogTexts::bayerMode},
    {"T_GRAY_GAIN", &DialogTexts::grayGain},
    {"T_GRAY_OFFSET", &DialogTexts::grayOffset},
    {"T_RED", &DialogTexts::red},
    {"T_GREEN1", &DialogTexts::green1},
    {"T_GREEN2", &DialogTexts::green2},
    {"T_BLUE", &DialogTexts::blue},
    {"T_FILTER_MODE", &DialogTexts::filterMode},
    {"T_FILTER_BAYER", &DialogTexts::filterBayer},
    {"T_FILTER_BAYER_CONVERT", &DialogTexts::filterBayerConvert},
    {"T_FILTER_GRAYSCALE", &DialogTexts::filterGrayscale},
    {"T_AUTO_GAIN", &DialogTexts::autoGain},
};

// The string macros of a resource script: `#define T_NAME "text"` ("" stands for a quote).
// The font (T_FONT) is a size and a face, not a text.
std::map<std::string, std::string> ReadTextMacros(const std::string& file) {
    std::ifstream in(std::string(VELCOR_WINDOWS_DIR) + "/" + file);
    EXPECT_TRUE(in) << file;
    std::map<std::string, std::string> macros;
    const std::string define = "#define ";
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, define.size(), define) != 0) continue;
        const size_t nameEnd = line.find(' ', define.size());
        if (nameEnd == std::string::npos) continue;
        const std::string name = line.substr(define.size(), nameEnd - define.size());
        if (name.compare(0, 2, "T_") != 0 || name == "T_FONT") continue;
        const size_t open = line.find('"', nameEnd);
        const size_t close = line.rfind('"');
        EXPECT_TRUE(open != std::string::npos && close > open) << file << ": " << line;
        if (open == std::string::npos || close <= open) continue;
        std::string text;
        for (size_t i = open + 1; i < close; ++i) {
            text += line[i];
            if (line[i] == '"' && i + 1 < close && line[i + 1] == '"') ++i;
        }
        macros[name] = text;
    }
    return macros;
}

void ExpectSameTexts(const std::string& file, const DialogTexts& texts) {
    const auto macros = ReadTextMacros(file);
    for (const auto& [name, text] : macros) {
        const auto field = kMacroFields.find(name);
        ASSERT_NE(field, kMacroFields.end()) << file << ": " << name << " has no text in the code";
        EXPECT_EQ(text, texts.*(field->second)) << file << ": " << name;
    }
    for (const auto& [name, field] : kMacroFields) {
        EXPECT_EQ(macros.count(name), 1u) << file << " lacks " << name;
    }
}

TEST(DialogResourceTexts, EnglishTemplatesSayWhatTheCodeSays) {
    ExpectSameTexts("DialogTextsEnglish.rch", TextsFor(platform::kLangEnglishUs));
}

TEST(DialogResourceTexts, JapaneseTemplatesSayWhatTheCodeSays) {
    ExpectSameTexts("DialogTextsJapanese.rch", TextsFor(platform::kLangJapanese));
}

}  // namespace
}  // namespace velcor::dialogs
