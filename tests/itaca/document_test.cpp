#include "itaca/document.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/error.h"
#include "common/text.h"
#include "support/test_support.h"

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tvi {
namespace {

using tvitest::readFile;
using tvitest::TempDir;
using tvitest::writeFile;
using ::testing::HasSubstr;
using ::testing::Not;

std::vector<std::string> codes(const std::vector<pugi::xml_node>& nodes) {
  std::vector<std::string> out;
  for (auto n : nodes) out.push_back(attr(n, "codigo"));
  return out;
}

std::string errorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.what();
  }
  return "(sin error)";
}

TEST(DocumentPaths, WalksElementNamesInDocumentOrder) {
  const Document doc = Document::parse(R"(<?xml version="1.0"?>
<?aulas no es un elemento?>
<centro codigo="46000001">
  <aulas><aula codigo="A1"/><otro codigo="X"/><aula codigo="A2"><aula codigo="dentro"/></aula></aulas>
  <grupos><aula codigo="fuera"/></grupos>
  <aulas><aula codigo="A3"/></aulas>
  <Aulas><aula codigo="mayusculas"/></Aulas>
</centro>)");
  EXPECT_EQ(codes(doc.select("/centro/aulas/aula")), (std::vector<std::string>{"A1", "A2", "A3"}));
  EXPECT_EQ(doc.count("/centro/aulas/aula"), 3u);
  EXPECT_EQ(doc.count("/centro/aulas"), 2u);
  EXPECT_EQ(attr(doc.selectSingle("/centro/aulas/aula"), "codigo"), "A1");
  EXPECT_EQ(attr(doc.selectSingle("/centro"), "codigo"), "46000001");
  EXPECT_EQ(doc.count("/centro/aulas/aula/aula"), 1u);
  EXPECT_EQ(doc.count("/aulas/aula"), 0u);  // paths start at the root
  EXPECT_EQ(doc.count("/centro/docentes/docente"), 0u);
  EXPECT_FALSE(doc.selectSingle("/centro/docentes"));
  EXPECT_EQ(std::string(doc.root().name()), "centro");
}

TEST(DocumentAttributes, AreTrimmedAndEmptyWhenMissing) {
  const Document doc = Document::parse(
      "<centro><docentes><docente documento=\" \t12345678Z\n \" nombre=\"N&#250;ria\" "
      "apellido1=\"Mart&iacute;nez\" vacio=\"\"/></docentes></centro>");
  const pugi::xml_node d = doc.selectSingle("/centro/docentes/docente");
  EXPECT_EQ(attr(d, "documento"), "12345678Z");
  EXPECT_EQ(attr(d, "nombre"), "Núria");  // character references are expanded
  EXPECT_EQ(attr(d, "apellido1"), "Mart&iacute;nez");  // undeclared entity: literal text
  EXPECT_EQ(attr(d, "apellido2"), "");
  EXPECT_EQ(attr(pugi::xml_node(), "x"), "");
  EXPECT_EQ(requiredAttr(d, "vacio"), "");
  EXPECT_EQ(errorOf([&] { requiredAttr(d, "ensenanza"); }),
            "Falta el atributo \"ensenanza\" en el elemento \"docente\".");
}

// The same small centre in every encoding the service reads.
struct EncodingCase {
  const char* name;
  std::string bytes;
  const char* encoding;
  std::string text;  // the value of "nombre", UTF-8
};

std::string utf16(std::string_view utf8, bool bigEndian, bool bom) {
  std::u16string units;
  if (bom) units += u'\xFEFF';
  for (std::size_t pos = 0; pos < utf8.size();) {
    const Utf8Step step = decodeUtf8(utf8, pos);
    pos += step.length;
    char32_t cp = step.codePoint;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      units += static_cast<char16_t>(0xD800 + (cp >> 10));
      units += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      units += static_cast<char16_t>(cp);
    }
  }
  std::string out;
  for (char16_t u : units) {
    const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
    out += bigEndian ? hi : lo;
    out += bigEndian ? lo : hi;
  }
  return out;
}

std::vector<EncodingCase> encodingCases() {
  const std::string valencian = "Martínez Peñalver, Núria · Educació Física";
  const std::string centre = "<centro><docentes><docente nombre=\"" + valencian + " €\"/></docentes></centro>";
  const auto latin1Body = [&](const std::string& decl, const std::string& extra) {
    return "<?xml version=\"1.0\" encoding=\"" + decl + "\"?>\n<centro><docentes><docente nombre=\"" +
           toAnsi(valencian) + extra + "\"/></docentes></centro>";
  };
  return {
      {"utf-8 without declaration", centre, "utf-8", valencian + " €"},
      {"utf-8 with BOM", "\xEF\xBB\xBF<?xml version=\"1.0\"?>" + centre, "utf-8", valencian + " €"},
      {"utf-8 declared", "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>" + centre, "utf-8",
       valencian + " €"},
      {"utf-16 LE", utf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + centre + "<!--\xF0\x9F\x98\x80-->", false, true),
       "utf-16", valencian + " €"},
      {"utf-16 BE", utf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + centre, true, true), "utf-16",
       valencian + " €"},
      {"iso-8859-1", latin1Body("ISO-8859-1", " \xA4"), "iso-8859-1", valencian + " ¤"},
      {"latin1 alias", latin1Body("latin1", ""), "iso-8859-1", valencian},
      {"windows-1252", latin1Body("windows-1252", " \x80\x93x\x94"), "windows-1252", valencian + " €“x”"},
  };
}

TEST(DocumentEncodings, ReadsEachEncodingAndSavesInTheSameOne) {
  TempDir dir;
  for (const auto& c : encodingCases()) {
    SCOPED_TRACE(c.name);
    writeFile(dir / "in.xml", c.bytes);
    Document doc = Document::load(dir / "in.xml");
    EXPECT_EQ(doc.encoding(), c.encoding);
    EXPECT_EQ(attr(doc.selectSingle("/centro/docentes/docente"), "nombre"), c.text);

    // A value outside every one-byte code page survives the save too.
    doc.selectSingle("/centro/docentes/docente").append_attribute("extra") = "Łódź";
    doc.save(dir / "out.xml");
    const std::string saved = readFile(dir / "out.xml");
    const std::size_t head = c.bytes.find('>') + 1;  // BOM and declaration, or first tag
    EXPECT_EQ(saved.substr(0, head), c.bytes.substr(0, head));
    const Document again = Document::load(dir / "out.xml");
    EXPECT_EQ(again.encoding(), c.encoding);
    const pugi::xml_node d = again.selectSingle("/centro/docentes/docente");
    EXPECT_EQ(attr(d, "nombre"), c.text);
    EXPECT_EQ(attr(d, "extra"), "Łódź");
  }
}

TEST(DocumentEncodings, OneByteSavesUseCharacterReferencesOnlyWhereXmlAllowsThem) {
  TempDir dir;
  Document doc = Document::parse("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><centro/>");
  doc.dom().insert_child_before(pugi::node_comment, doc.root()).set_value(" € ");
  doc.root().append_attribute("a") = "€ ñ";
  doc.root().append_child(pugi::node_pcdata).set_value("Ł");
  doc.save(dir / "out.xml");
  const std::string saved = readFile(dir / "out.xml");
  EXPECT_THAT(saved, HasSubstr("<!-- ? -->"));  // no reference inside a comment
  EXPECT_THAT(saved, HasSubstr("a=\"&#8364; \xF1\""));
  EXPECT_THAT(saved, HasSubstr(">&#321;<"));
}

TEST(DocumentEncodings, RefusesOtherEncodingsNamingThem) {
  const struct {
    std::string bytes;
    const char* expected;
  } cases[] = {
      {"<?xml version=\"1.0\" encoding=\"KOI8-R\"?><centro/>",
       "El archivo x.xml declara la codificación \"KOI8-R\", que no se puede leer (se leen UTF-8, "
       "UTF-16, ISO-8859-1 y Windows-1252)."},
      {"<?xml version='1.0' encoding='Shift_JIS'?><centro/>", "\"Shift_JIS\""},
      {"<?xml version=\"1.0\" encoding=\"UTF-16\"?><centro/>",
       "El archivo x.xml declara la codificación \"UTF-16\", pero su contenido no está en esa codificación."},
      {std::string("\xFF\xFE\0\0<\0\0\0", 8), "UTF-32"},
  };
  for (const auto& c : cases) EXPECT_THAT(errorOf([&] { Document::parse(c.bytes, "x.xml"); }), HasSubstr(c.expected));
}

TEST(DocumentErrors, NotWellFormedGivesLineAndColumn) {
  const struct {
    std::string bytes;
    const char* expected;
  } cases[] = {
      {"<centro>\n  <aulas>\n    <aula codigo=\"1\">\n  </aulas>\n</centro>",
       "El archivo x.xml no es un documento XML válido: una etiqueta de cierre no corresponde a la abierta "
       "(línea 4, columna 5)."},
      {"<?xml version=\"1.0\"?>\r\n<centro>\r\n<aula c=\"Aula nº 1\" 1x=\"2\"/></centro>",
       "etiqueta de apertura mal formada (línea 3, columna 21)."},
      {"<centro>\n<docente nombre=\"Núria Peñalver\" <", "etiqueta de apertura mal formada (línea 2, columna 34)."},
      {"", "no tiene elemento raíz (línea 1, columna 1)."},
      {"<centro/>\n<centro/>", "tiene más de un elemento raíz (línea 2, columna 2)."},
      {"\xEF\xBB\xBF<centro><", "(línea 1, columna 9)."},
      {utf16("<centro>\n <aula nombre=\"àè\"></aulas></centro>", false, true),
       "(línea 2, columna 22)."},
  };
  for (const auto& c : cases)
    EXPECT_THAT(errorOf([&] { Document::parse(c.bytes, "x.xml"); }), HasSubstr(c.expected)) << c.bytes;
}

TEST(DocumentErrors, LoadNamesTheFile) {
  TempDir dir;
  writeFile(dir / "roto.xml", "<centro>\n<aulas>\n</centro>");
  EXPECT_EQ(errorOf([&] { Document::load(dir / "roto.xml"); }),
            "El archivo " + (dir / "roto.xml").string() +
                " no es un documento XML válido: una etiqueta de cierre no corresponde a la abierta "
                "(línea 3, columna 3). Compruebe que es el archivo que exportó ITACA y que se copió "
                "entero, o vuelva a exportarlo.");
  EXPECT_THAT(errorOf([&] { Document::load(dir / "no_existe.xml"); }),
              HasSubstr("No se puede leer el archivo " + (dir / "no_existe.xml").string() + ": no existe"));
  EXPECT_THAT(errorOf([&] { Document::load(dir.path()); }), HasSubstr("es una carpeta"));
}

TEST(DocumentSecurity, NeverLoadsADtdOrAnExternalEntity) {
  TempDir dir;
  const std::string secret = "SECRETO-no-debe-salir-7f3a";
  writeFile(dir / "secreto.txt", secret);
  writeFile(dir / "externo.dtd", "<!ENTITY dtdent \"" + secret + "\">");
  const std::string local = "file://" + (dir / "secreto.txt").string();
  const std::string xml =
      "<?xml version=\"1.0\"?>\n"
      "<!DOCTYPE centro SYSTEM \"file://" + (dir / "externo.dtd").string() + "\" [\n"
      "  <!ENTITY local SYSTEM \"" + local + "\">\n"
      "  <!ENTITY passwd SYSTEM \"file:///etc/passwd\">\n"
      "  <!ENTITY % pe SYSTEM \"" + local + "\"> %pe;\n"
      "]>\n"
      "<centro codigo=\"&local;\" b=\"&passwd;\" c=\"&dtdent;\"><aulas><aula nombre=\"&local;\">&local;&passwd;</aula></aulas></centro>";
  writeFile(dir / "in.xml", xml);
  Document doc = Document::load(dir / "in.xml");
  EXPECT_EQ(attr(doc.root(), "codigo"), "&local;");
  EXPECT_EQ(attr(doc.root(), "b"), "&passwd;");
  EXPECT_EQ(attr(doc.root(), "c"), "&dtdent;");
  const pugi::xml_node aula = doc.selectSingle("/centro/aulas/aula");
  EXPECT_EQ(attr(aula, "nombre"), "&local;");
  EXPECT_EQ(std::string(aula.text().get()), "&local;&passwd;");
  // Nowhere in the document, nor in what a save writes.
  doc.save(dir / "out.xml");
  const std::string saved = readFile(dir / "out.xml");
  EXPECT_THAT(saved, Not(HasSubstr(secret)));
  EXPECT_THAT(saved, Not(HasSubstr("root:")));
}

TEST(DocumentSave, KeepsEveryTopLevelNodeButTheRoot) {
  TempDir dir;
  writeFile(dir / "in.xml",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- exportado por ITACA -->\n"
            "<?xml-stylesheet href=\"a.xsl\"?>\n<!DOCTYPE centro>\n"
            "<centro codigo=\"46\" extra=\"x\"><alumnos/></centro>\n<!-- fin -->\n");
  Document doc = Document::load(dir / "in.xml");
  doc.dom().remove_child(doc.root());
  pugi::xml_node root = doc.dom().append_child("centro");
  root.append_attribute("codigo") = "46";
  root.append_child("horarios_grupo");
  doc.save(dir / "out.xml");
  const std::string saved = readFile(dir / "out.xml");
  EXPECT_EQ(saved,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- exportado por ITACA -->\n"
            "<?xml-stylesheet href=\"a.xsl\"?>\n<!DOCTYPE centro>\n<!-- fin -->\n"
            "<centro codigo=\"46\">\n\t<horarios_grupo />\n</centro>\n");
}

TEST(DocumentSave, AFailedSaveLeavesTheEarlierFileWholeAndNoTemporary) {
  TempDir dir;
  const Document doc = Document::parse("<centro codigo=\"nuevo\"/>");
  writeFile(dir / "out.xml", "anterior");
  std::filesystem::permissions(dir / "out.xml", std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
  EXPECT_EQ(errorOf([&] { doc.save(dir / "out.xml"); }),
            "No se puede escribir el archivo " + (dir / "out.xml").string() +
                ": el archivo es de solo lectura. Quite la marca de solo lectura del archivo y vuelva a "
                "intentarlo.");
  EXPECT_EQ(readFile(dir / "out.xml"), "anterior");

  EXPECT_EQ(errorOf([&] { doc.save(dir / "falta" / "out.xml"); }),
            "No se puede escribir el archivo " + (dir / "falta" / "out.xml").string() +
                ": no existe la carpeta " + (dir / "falta").string() +
                ". Compruebe la ruta y vuelva a intentarlo.");
  std::filesystem::create_directory(dir / "carpeta.xml");
  EXPECT_THAT(errorOf([&] { doc.save(dir / "carpeta.xml"); }), HasSubstr("es una carpeta"));

  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 2u);  // out.xml and carpeta.xml, nothing else
}

#ifndef _WIN32
// A write that fails half-way (the disk fills up): a child process limited
// to a file size smaller than the document saves it over an earlier file.
TEST(DocumentSave, AWriteFailingHalfwayLeavesTheEarlierFileWhole) {
  TempDir dir;
  std::string big = "<centro>";
  for (int i = 0; i < 20000; ++i) big += "<aula codigo=\"" + std::to_string(i) + "\" nombre=\"Aula de Música\"/>";
  big += "</centro>";
  const Document doc = Document::parse(big);
  writeFile(dir / "out.xml", "anterior");

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{64 * 1024, 64 * 1024};
    setrlimit(RLIMIT_FSIZE, &limit);
    try {
      doc.save(dir / "out.xml");
    } catch (const Error& e) {
      const std::string message = e.what();
      _exit(message.rfind("No se puede escribir el archivo " + (dir / "out.xml").string() + ": ", 0) == 0 ? 0 : 2);
    }
    _exit(1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the save did not fail; 2: the message does not name the file";
  EXPECT_EQ(readFile(dir / "out.xml"), "anterior");
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 1u);
}
#endif

}  // namespace
}  // namespace tvi
