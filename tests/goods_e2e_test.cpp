// The Linux program refusing goods files: one error line on standard error, status 1.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "text/cp1251.h"
#include "tests/program_runner.h"

namespace {

// Reading the command line may lower the file name along with the switches, so the test
// files live in a folder whose path has no capital letters.
class LowerCaseDir {
 public:
  LowerCaseDir() {
    std::filesystem::path base = std::filesystem::temp_directory_path();
    const std::string text = base.string();
    if (std::any_of(text.begin(), text.end(), [](char c) { return c >= 'A' && c <= 'Z'; })) {
      base = "/tmp";
    }
    static int serial = 0;
    path_ =
        (base / ("tally-goods-e2e-" + std::to_string(getpid()) + "-" + std::to_string(serial++)))
            .string();
    std::filesystem::create_directories(path_);
  }
  LowerCaseDir(const LowerCaseDir&) = delete;
  LowerCaseDir& operator=(const LowerCaseDir&) = delete;
  ~LowerCaseDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }
  std::string write(const std::string& name, const std::string& bytes) const {
    const std::string file = path_ + "/" + name;
    std::ofstream(file, std::ios::binary) << bytes;
    return file;
  }

 private:
  std::string path_;
};

std::string Line(const std::string& code, const std::string& barcode, const std::string& price,
                 const std::string& group) {
  return code + "\t" + W1251("Молоко 1л") + "\t" + barcode + "\t" + price + "\t" + group +
         "\t0\t\r\n";
}

const std::string kGood = Line("1", "4600000000001", "79.90", "2");

std::string Block(const std::string& lines) {
  return W1251("База товаров\r\n") + "<start>\r\n" + kGood + lines + kGood + "<end>\r\n";
}

// Runs the program on the file and expects exactly this error line and status 1.
void ExpectRefused(const std::vector<std::string>& args, const std::string& utf8Message) {
  const ProgramResult r = RunProgram(TALLY_BINARY, args, {}, 20);
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "OKA PF: ошибка: " + utf8Message + "\n");
}

TEST(TallyGoodsFile, MissingFile) {
  const LowerCaseDir dir;
  const std::string name = dir.path() + "/no-such-goods.txt";
  ExpectRefused({name}, "Не могу открыть файл: " + name);
  ExpectRefused({dir.path()}, "Не могу открыть файл: " + dir.path());  // a folder
}

TEST(TallyGoodsFile, InvalidPrice) {
  const LowerCaseDir dir;
  const std::string name = dir.write("goods.txt", Block(Line("2", "", "12.5", "1")));
  ExpectRefused({name}, "Недопустимая цена: '12.5\t'");
  // Whole units ("/r"): prices with kopecks are invalid, whole ones pass.
  const std::string whole = dir.write("whole.txt", "<start>\r\n" + Line("1", "", "80", "") +
                                                       Line("2", "", "80.00", "") + "<end>\r\n");
  ExpectRefused({"/r", whole}, "Недопустимая цена: '80.00\t'");
  // With LF alone as line ends the goods are read too, so the bad price is found.
  std::string lf = Block(Line("3", "", "1,2,3", ""));
  lf.erase(std::remove(lf.begin(), lf.end(), '\r'), lf.end());
  ExpectRefused({dir.write("lf.txt", lf)}, "Недопустимая цена: '1,2,3\t'");
}

TEST(TallyGoodsFile, TooManyGoods) {
  const LowerCaseDir dir;
  std::string lines;
  for (int i = 0; i < 3000; ++i) lines += kGood;
  const std::string name = dir.write("big.txt", "<start>\r\n" + lines + lines + "<end>\r\n");
  ExpectRefused({name}, "Слишком много товаров в файле (больше 3000)");
}

TEST(TallyGoodsFile, FieldsTheRegisterCannotTake) {
  const LowerCaseDir dir;
  struct Case {
    std::string line;
    std::string message;
  };
  const Case cases[] = {
      {Line("65536", "", "1.00", ""), "Недопустимый код товара: '65536\t'"},
      {Line("-3", "", "1.00", ""), "Недопустимый код товара: '-3\t'"},
      {Line("5", "", "1.00", "256"), "Недопустимый номер группы: '256\t'"},
      {Line("5", "460000000000123", "1.00", ""), "Недопустимый штрих-код: '460000000000123\t'"},
      {Line("5", "-4600000000001", "1.00", ""), "Недопустимый штрих-код: '-4600000000001\t'"},
  };
  for (const Case& c : cases) {
    ExpectRefused({dir.write("goods.txt", Block(c.line))}, c.message);
  }
}

}  // namespace
