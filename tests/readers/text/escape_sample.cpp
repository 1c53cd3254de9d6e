// escape_sample INPUTS OUT_DIR: each line of INPUTS is one text in hex; writes
// them as CSV fields (out.csv: number, text, "end" per row) and as XML element
// text and attribute values (out.xml), so that real readers can say what they
// read back.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "text/Escape.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: escape_sample INPUTS OUT_DIR\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::vector<std::string> texts;
    for (std::string hex; std::getline(in, hex);) {
        std::string bytes;
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
            bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
        texts.push_back(bytes);
    }
    std::string csv = "\xEF\xBB\xBF", xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<texts>\n";
    for (std::size_t i = 0; i < texts.size(); ++i) {
        csv += std::to_string(i) + "," + text::CsvField(texts[i]) + ",end\r\n";
        xml += "  <text n=\"" + std::to_string(i) + "\" value=\"" + text::XmlAttribute(texts[i]) + "\">" +
               text::XmlText(texts[i]) + "</text>\n";
    }
    xml += "</texts>\n";
    const std::string dir = std::string(argv[2]) + "/";
    std::ofstream(dir + "out.csv", std::ios::binary) << csv;
    std::ofstream(dir + "out.xml", std::ios::binary) << xml;
    return 0;
}
