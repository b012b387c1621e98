#include "tools/synth/synth_text.h"

#include <cstring>

#include "textlib/gb_string.h"

namespace quillax::synth {
namespace {

// --- Chinese vocabulary (GB2312 words; the literals become GBK bytes) -----------------------

const char* const kPersons[] = {
    "亚伯拉罕", "以撒", "雅各", "约瑟", "摩西", "亚伦", "约书亚", "迦勒", "基甸", "撒母耳",
    "扫罗", "大卫", "所罗门", "以利亚", "以利沙", "以赛亚", "耶利米", "以西结", "但以理",
    "约拿", "尼希米", "以斯拉", "彼得", "约翰", "安得烈", "腓力", "多马", "马太", "保罗",
    "巴拿巴", "提摩太", "路加", "马利亚", "马大", "拉撒路", "撒该", "尼哥底母", "约拿单",
    "拿单", "押沙龙", "亚哈", "希西家", "约西亚", "挪亚", "亚当", "夏娃", "该隐", "亚伯",
    "以诺", "罗得", "利百加", "拉结", "利亚", "便雅悯", "犹大", "以法莲", "玛拿西", "参孙",
    "路得", "波阿斯", "拿俄米", "哈拿", "以利", "约伯", "以斯帖", "末底改", "约押", "押尼珥",
    "亚比该", "米甲", "拔示巴", "罗波安", "耶罗波安", "约沙法", "乌西雅", "约坦", "亚撒"};

const char* const kGroups[] = {
    "百姓", "祭司", "利未人", "先知", "君王", "首领", "长老", "文士", "法利赛人", "众人",
    "门徒", "使徒", "儿女", "妇人", "仆人", "使女", "弟兄", "列国", "外邦人", "以色列人",
    "犹太人", "兵丁", "牧人", "穷人", "寡妇", "孤儿", "义人", "恶人", "智慧人", "愚顽人",
    "子孙", "众子", "族长", "审判官", "守望的人", "众民", "勇士", "工匠", "歌唱的", "守门的"};

const char* const kPlaces[] = {
    "耶路撒冷", "锡安", "伯利恒", "拿撒勒", "加利利", "撒玛利亚", "犹大地", "埃及", "迦南",
    "巴比伦", "亚述", "约旦河", "西奈山", "何烈山", "橄榄山", "旷野", "海边", "城门", "圣殿",
    "会幕", "圣所", "殿中", "山上", "田间", "城里", "王宫", "营中", "迦百农", "伯大尼",
    "以弗所", "哥林多", "罗马", "大马色", "推罗", "西顿", "示罗", "伯特利", "希伯仑", "别是巴",
    "基列", "摩押", "以东", "非利士地", "米甸", "亚兰", "吉甲", "耶利哥", "撒勒法", "迦密山"};

const char* const kDivine[] = {
    "耶和华", "主", "　神", "耶稣", "基督", "圣灵", "天父", "万军之耶和华", "以色列的　神",
    "主耶稣", "人子", "羔羊", "耶和华　神", "救主"};

const char* const kNouns[] = {
    "律法", "诫命", "典章", "律例", "约", "恩典", "慈爱", "怜悯", "公义", "公平", "平安",
    "信心", "盼望", "爱心", "真理", "道路", "生命", "话语", "荣耀", "能力", "国度", "救恩",
    "应许", "产业", "福气", "智慧", "知识", "训诲", "罪孽", "过犯", "祭物", "燔祭", "供物",
    "馨香", "祭坛", "约柜", "灯台", "饼", "新酒", "膏油", "活水", "粮食", "羊群", "牛群",
    "葡萄园", "田地", "果子", "种子", "庄稼", "房屋", "城墙", "城邑", "帐棚", "衣服", "金子",
    "银子", "宝石", "刀剑", "弓箭", "战车", "马匹", "冠冕", "宝座", "手", "心", "口", "眼目",
    "耳朵", "脚", "名", "声音", "异象", "梦", "神迹", "奇事", "比喻", "福音", "教会", "圣徒",
    "天国", "日子", "时候", "光", "黑暗", "云彩", "火", "风", "雨", "海", "河", "山岭", "天",
    "地", "石头", "树", "道", "殿", "约书", "香炉", "号角", "琴瑟", "羊羔", "公牛", "橄榄树",
    "无花果树", "井", "磐石", "盾牌", "旌旗", "城楼", "门槛", "筵席", "禾场", "仓房"};

const char* const kVerbs[] = {
    "吩咐", "行", "看见", "听见", "知道", "记念", "遵守", "敬畏", "寻求", "称颂", "赞美",
    "呼求", "拯救", "赐给", "祝福", "审判", "建造", "拆毁", "进入", "离开", "跟从", "事奉",
    "献上", "攻打", "击败", "夺取", "兴起", "写下", "传讲", "教训", "医治", "洁净", "安慰",
    "坚立", "差遣", "召集", "分散", "收聚", "牧养", "保守", "引导", "救赎", "赦免", "遮盖",
    "宣告", "应验", "预备", "拣选", "膏立", "设立", "倚靠", "仰望", "等候", "谨守", "顺从",
    "离弃", "忘记", "得着", "承受", "看守", "恩待", "怜恤", "搭救", "修造", "洗净", "寻找",
    "领受", "述说", "思想", "遵行", "追赶", "围困", "焚烧", "称谢"};

const char* const kAdverbs[] = {
    "必", "要", "就", "也", "都", "又", "常", "已经", "便", "总", "不", "不可", "果然",
    "仍然", "一同", "亲自", "实在", "必定", "时常", "切切地"};

const char* const kConnectors[] = {
    "于是", "因为", "所以", "但", "并且", "如今", "那时", "此后", "后来", "看哪", "这样",
    "当日", "次日", "到了晚上", "清早", "若", "虽然", "因此", "然而", "至于"};

const char* const kTimes[] = {
    "那日", "那时", "当日", "清早", "晚上", "夜间", "第三日", "七日之内", "四十天", "安息日",
    "逾越节", "那年", "王第一年", "正月", "七月十五日", "日头出来的时候", "过了三天"};

const char* const kAdjectives[] = {
    "大", "美", "好", "圣洁", "公义", "良善", "诚实", "刚强", "软弱", "聪明", "愚昧", "新",
    "高", "深", "远", "丰盛", "荒凉", "谦卑", "骄傲", "喜乐", "忧愁", "宝贵", "长久"};

const char* const kQuantities[] = {
    "一个", "两个", "三个", "七个", "十二个", "四十个", "一百个", "一千个", "许多", "所有的",
    "众", "五千", "七十个", "三百"};

const char* const kPronouns[] = {"我", "你", "他", "她", "我们", "你们", "他们"};

// Words in traditional characters whose GBK code lies outside GB2312 and has an ASCII mark as
// its trail byte (聖 "}", 靈 "`", 禱 "\", 東 "|", 過 "^", 開 "_", 頭 "^", 葉 "~", 園 "@",
// 誠 "\", 觀 "^", 隱 "[", 註 "]", 億 "|", 調 "{", 藍 "{", 魚 "~", 誤 "`").
const char* const kTraditional[] = {
    "聖靈", "禱告", "東門", "過犯", "開路", "頭髮", "樹葉", "園子", "誠實", "觀看", "隱密",
    "註明", "億萬", "調和", "藍色", "魚網", "錯誤"};

// Clause templates: a single upper-case letter is a slot, anything else is written as it is.
//   P person  G group  L place  D divine name  N noun  V verb  A adverb  C connector
//   T time    J adjective  Q quantity  R pronoun
const char* const kClause1[] = {"T", "，", "P", "V", "N"};
const char* const kClause2[] = {"P", "往", "L", "去"};
const char* const kClause3[] = {"C", "R", "A", "V", "D", "的", "N"};
const char* const kClause4[] = {"G", "都", "V", "D"};
const char* const kClause5[] = {"P", "的", "N", "甚", "J"};
const char* const kClause6[] = {"R", "A", "V", "R", "的", "N"};
const char* const kClause7[] = {"P", "从", "L", "上", "L", "去"};
const char* const kClause8[] = {"Q", "G", "住在", "L"};
const char* const kClause9[] = {"凡", "V", "N", "的", "，", "必", "V", "N"};
const char* const kClause10[] = {"P", "与", "P", "一同", "V", "N"};
const char* const kClause11[] = {"D", "的", "N", "是", "J", "的"};
const char* const kClause12[] = {"R", "要", "V", "D"};
const char* const kClause13[] = {"R", "必", "V", "R", "的", "N"};
const char* const kClause14[] = {"T", "，", "G", "在", "L", "V", "N"};
const char* const kClause15[] = {"这是", "D", "所", "V", "的", "N"};
const char* const kClause16[] = {"P", "生", "P"};
const char* const kClause17[] = {"R", "当", "V", "D", "，", "V", "R", "的", "N"};
const char* const kClause18[] = {"C", "G", "V", "N", "，", "A", "V", "L"};
const char* const kClause19[] = {"N", "J", "，", "N", "也", "J"};
const char* const kClause20[] = {"D", "V", "G", "的", "N"};

struct Template {
    const char* const* parts;
    std::size_t count;
};

template <std::size_t N>
constexpr Template MakeTemplate(const char* const (&parts)[N]) {
    return Template{parts, N};
}

const Template kClauses[] = {
    MakeTemplate(kClause1),  MakeTemplate(kClause2),  MakeTemplate(kClause3),
    MakeTemplate(kClause4),  MakeTemplate(kClause5),  MakeTemplate(kClause6),
    MakeTemplate(kClause7),  MakeTemplate(kClause8),  MakeTemplate(kClause9),
    MakeTemplate(kClause10), MakeTemplate(kClause11), MakeTemplate(kClause12),
    MakeTemplate(kClause13), MakeTemplate(kClause14), MakeTemplate(kClause15),
    MakeTemplate(kClause16), MakeTemplate(kClause17), MakeTemplate(kClause18),
    MakeTemplate(kClause19), MakeTemplate(kClause20)};

const char kIdeographicSpace[] = "　";

bool StartsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// Characters of a GBK text: two bytes for a lead byte, one for ASCII.
int CharCount(const std::string& text, std::size_t from) {
    int count = 0;
    for (std::size_t i = from; i < text.size(); ++count) {
        i += GbkCharSize(text, i);
    }
    return count;
}

// --- English vocabulary ----------------------------------------------------------------------

const char* const kEnPersons[] = {
    "Abraham", "Isaac", "Jacob", "Joseph", "Moses", "Aaron", "Joshua", "Caleb", "Gideon",
    "Samuel", "Saul", "David", "Solomon", "Elijah", "Elisha", "Isaiah", "Jeremiah", "Daniel",
    "Jonah", "Nehemiah", "Ezra", "Peter", "John", "Andrew", "Philip", "Thomas", "Paul",
    "Barnabas", "Timothy", "Mary", "Martha", "Lazarus", "Jonathan", "Nathan", "Hezekiah",
    "Josiah", "Noah", "Ruth", "Boaz", "Naomi", "Hannah", "Eli", "Job", "Esther", "Joab"};
const char* const kEnGroups[] = {
    "the people", "the priests", "the Levites", "the prophets", "the kings", "the elders",
    "the scribes", "the crowd", "the disciples", "the apostles", "the children", "the women",
    "the servants", "the brothers", "the nations", "the soldiers", "the shepherds", "the poor",
    "the widows", "the righteous", "the wicked", "the leaders", "all the assembly"};
const char* const kEnGroupsFormal[] = {
    "the sons of Israel", "the priests", "the Levites", "the prophets", "the kings",
    "the elders", "the scribes", "the multitude", "His disciples", "the apostles",
    "the sons", "the women", "the bondservants", "the brethren", "the nations",
    "the men of war", "the shepherds", "the afflicted", "the widows", "the righteous",
    "the wicked", "the heads of the fathers' households", "all the congregation"};
const char* const kEnPlaces[] = {
    "Jerusalem", "Zion", "Bethlehem", "Nazareth", "Galilee", "Samaria", "Judah", "Egypt",
    "Canaan", "Babylon", "Assyria", "the Jordan", "Mount Sinai", "the wilderness", "the sea",
    "the gate", "the temple", "the tabernacle", "the sanctuary", "the mountain", "the field",
    "the city", "the palace", "the camp", "Capernaum", "Bethany", "Ephesus", "Corinth",
    "Rome", "Damascus", "Tyre", "Sidon", "Shiloh", "Bethel", "Hebron", "Beersheba"};
const char* const kEnDivine[] = {"the LORD", "God", "the Lord", "Jesus", "Christ",
                                 "the Spirit", "the Father", "the LORD of hosts",
                                 "the God of Israel", "the Son of Man"};
const char* const kEnNouns[] = {
    "law", "commandments", "statutes", "covenant", "grace", "love", "mercy", "righteousness",
    "peace", "faith", "hope", "truth", "way", "life", "word", "glory", "power", "kingdom",
    "salvation", "promise", "inheritance", "blessing", "wisdom", "sin", "offering", "altar",
    "ark", "bread", "wine", "oil", "water", "flock", "vineyard", "field", "fruit", "house",
    "wall", "tent", "garments", "gold", "silver", "sword", "chariots", "throne", "hand",
    "heart", "mouth", "eyes", "name", "voice", "vision", "sign", "wonders", "gospel", "day",
    "light", "darkness", "cloud", "fire", "wind", "rain", "stone", "tree", "lamp", "trumpet"};
const char* const kEnVerbs[] = {
    "commanded", "saw", "heard", "knew", "remembered", "kept", "feared", "sought", "blessed",
    "praised", "saved", "gave", "judged", "built", "destroyed", "entered", "left", "followed",
    "served", "offered", "attacked", "took", "wrote", "taught", "healed", "cleansed",
    "comforted", "established", "sent", "gathered", "scattered", "redeemed", "forgave",
    "chose", "anointed", "trusted", "obeyed", "forsook", "received", "guarded", "delivered"};
const char* const kEnTimes[] = {"Then", "Now", "On that day", "In the morning", "At evening",
                                "After these things", "In those days", "On the third day",
                                "At that time", "So", "And", "But"};
const char* const kEnAdjectives[] = {"great", "good", "holy", "righteous", "faithful", "strong",
                                     "weak", "wise", "foolish", "new", "high", "deep", "far",
                                     "humble", "proud", "glad", "precious", "everlasting"};

}  // namespace

void AppendNumber(std::string& out, int n) {
    if (n < 0) {
        out += '-';
        n = -n;
    }
    char digits[16];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n > 0 && count < 15);
    while (count > 0) out += digits[--count];
}

void AppendPadded(std::string& out, int n, int digits) {
    std::string number;
    AppendNumber(number, n < 0 ? 0 : n);
    if (static_cast<int>(number.size()) < digits) {
        out.append(static_cast<std::size_t>(digits) - number.size(), '0');
        out += number;
    } else {
        out.append(number, number.size() - static_cast<std::size_t>(digits), std::string::npos);
    }
}

// --- ChineseWriter -----------------------------------------------------------------------------

ChineseWriter::ChineseWriter(Random& random, int traditionalPerMille)
    : random_(random), traditionalPerMille_(traditionalPerMille) {}

std::string ChineseWriter::Word() {
    switch (random_.Below(4)) {
    case 0: return Person();
    case 1: return Place();
    case 2: return random_.Pick(kGroups);
    default: {
        // Single-character nouns are too short to be a phrase of their own.
        for (;;) {
            const char* noun = random_.Pick(kNouns);
            if (std::strlen(noun) >= 4) return noun;
        }
    }
    }
}

std::string ChineseWriter::Place() { return random_.Pick(kPlaces); }
std::string ChineseWriter::Person() { return random_.Pick(kPersons); }

std::string ChineseWriter::Title() {
    std::string title;
    switch (random_.Below(5)) {
    case 0: title = Person(); title += random_.Pick(kVerbs); title += random_.Pick(kNouns); break;
    case 1: title = random_.Pick(kDivine); title += "的"; title += random_.Pick(kNouns); break;
    case 2: title = Place(); title += "的"; title += random_.Pick(kGroups); break;
    case 3: title = random_.Pick(kVerbs); title += Place(); break;
    default: title = Person(); title += "与"; title += Person(); break;
    }
    // A title never starts with the ideographic space of "　神".
    if (StartsWith(title.c_str(), kIdeographicSpace)) title.erase(0, 2);
    std::size_t at;
    while ((at = title.find(kIdeographicSpace)) != std::string::npos) title.erase(at, 2);
    return title;
}

void ChineseWriter::Slot(std::string& out, char kind, std::vector<WordSpan>* words) {
    const char* word = nullptr;
    bool markable = false;
    switch (kind) {
    case 'P': word = random_.Pick(kPersons); markable = true; break;
    case 'G': word = random_.Pick(kGroups); markable = true; break;
    case 'L': word = random_.Pick(kPlaces); markable = true; break;
    case 'D': word = random_.Pick(kDivine); break;
    case 'N':
        if (traditionalPerMille_ > 0 && random_.Chance(traditionalPerMille_)) {
            word = random_.Pick(kTraditional);
        } else {
            word = random_.Pick(kNouns);
        }
        markable = true;
        break;
    case 'V': word = random_.Pick(kVerbs); break;
    case 'A': word = random_.Pick(kAdverbs); break;
    case 'C': word = random_.Pick(kConnectors); break;
    case 'T': word = random_.Pick(kTimes); break;
    case 'J': word = random_.Pick(kAdjectives); break;
    case 'Q': word = random_.Pick(kQuantities); break;
    case 'R': word = random_.Pick(kPronouns); break;
    default: return;
    }
    // No ideographic space at the start of a text, nor after another one.
    if (StartsWith(word, kIdeographicSpace) &&
        (out.empty() || out.compare(out.size() >= 2 ? out.size() - 2 : 0, 2, kIdeographicSpace) == 0)) {
        word += 2;
    }
    const std::size_t begin = out.size();
    out += word;
    if (markable && words != nullptr && out.size() - begin >= 4) {
        words->push_back(WordSpan{begin, out.size()});
    }
}

void ChineseWriter::Clause(std::string& out, std::vector<WordSpan>* words) {
    const Template& clause = random_.Pick(kClauses);
    for (std::size_t i = 0; i < clause.count; ++i) {
        const char* part = clause.parts[i];
        if (part[0] >= 'A' && part[0] <= 'Z' && part[1] == '\0') {
            Slot(out, part[0], words);
        } else {
            out += part;
        }
    }
}

void ChineseWriter::Sentence(std::string& out, std::vector<WordSpan>* words) {
    if (random_.Chance(150)) {
        // Speech: "X说：“……。”"
        if (random_.Chance(500)) {
            Slot(out, 'D', nullptr);
        } else {
            Slot(out, 'P', words);
        }
        if (random_.Chance(300)) {
            out += "对";
            Slot(out, 'G', words);
        }
        out += "说：“";
        const int clauses = random_.Between(1, 3);
        for (int i = 0; i < clauses; ++i) {
            if (i > 0) out += "，";
            Clause(out, words);
        }
        out += random_.Chance(200) ? "！”" : "。”";
        return;
    }
    const int clauses = random_.Between(1, 3);
    for (int i = 0; i < clauses; ++i) {
        if (i > 0) out += random_.Chance(200) ? "；" : "，";
        Clause(out, words);
    }
    const int end = random_.Below(100);
    out += end < 90 ? "。" : end < 96 ? "！" : "？";
}

void ChineseWriter::Verse(std::string& out, int targetChars, std::vector<WordSpan>* words) {
    const std::size_t start = out.size();
    do {
        Sentence(out, words);
    } while (CharCount(out, start) < targetChars);
}

// --- EnglishWriter -------------------------------------------------------------------------------

EnglishWriter::EnglishWriter(Random& random, bool formal) : random_(random), formal_(formal) {}

void EnglishWriter::Sentence(std::string& out) {
    const std::size_t start = out.size();
    const char* group = formal_ ? random_.Pick(kEnGroupsFormal) : random_.Pick(kEnGroups);
    switch (random_.Below(8)) {
    case 0:
        out += random_.Pick(kEnTimes); out += ' '; out += random_.Pick(kEnPersons); out += ' ';
        out += random_.Pick(kEnVerbs); out += " the "; out += random_.Pick(kEnNouns);
        out += " of "; out += group;
        break;
    case 1:
        out += random_.Pick(kEnPersons); out += " went up from "; out += random_.Pick(kEnPlaces);
        out += " to "; out += random_.Pick(kEnPlaces);
        break;
    case 2:
        out += random_.Pick(kEnDivine); out += formal_ ? " spoke to " : " said to ";
        out += random_.Pick(kEnPersons); out += ", '"; out += random_.Pick(kEnTimes);
        out += " I will give you my "; out += random_.Pick(kEnNouns); out += '\'';
        break;
    case 3:
        out += "And "; out += group; out += ' '; out += random_.Pick(kEnVerbs); out += ' ';
        out += random_.Pick(kEnDivine);
        break;
    case 4:
        out += "The "; out += random_.Pick(kEnNouns); out += " of "; out += random_.Pick(kEnDivine);
        out += " is "; out += random_.Pick(kEnAdjectives);
        out += formal_ ? ", and His " : ", and his "; out += random_.Pick(kEnNouns);
        out += " endures forever";
        break;
    case 5:
        out += random_.Pick(kEnTimes); out += ' '; out += group; out += " gathered at ";
        out += random_.Pick(kEnPlaces); out += " and "; out += random_.Pick(kEnVerbs);
        out += " the "; out += random_.Pick(kEnNouns);
        break;
    case 6:
        out += "You shall "; out += formal_ ? "surely keep the " : "keep the ";
        out += random_.Pick(kEnNouns); out += " of "; out += random_.Pick(kEnDivine);
        out += "; you shall not forget the "; out += random_.Pick(kEnNouns);
        break;
    default:
        out += random_.Pick(kEnPersons); out += " the son of "; out += random_.Pick(kEnPersons);
        out += ' '; out += random_.Pick(kEnVerbs); out += ' '; out += group; out += " in ";
        out += random_.Pick(kEnPlaces);
        break;
    }
    const int end = random_.Below(100);
    out += end < 88 ? "." : end < 95 ? "!" : "?";
    if (out[start] >= 'a' && out[start] <= 'z') out[start] = static_cast<char>(out[start] - 'a' + 'A');
}

void EnglishWriter::Verse(std::string& out, int targetBytes) {
    const std::size_t start = out.size();
    for (;;) {
        Sentence(out);
        if (static_cast<int>(out.size() - start) >= targetBytes) break;
        out += ' ';
    }
}

}  // namespace quillax::synth
