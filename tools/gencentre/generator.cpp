#include "gencentre/generator.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace tvi::gen {

namespace {

// SplitMix64: small, fast and the same everywhere, unlike the standard
// library's distributions.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed * 0xD1B54A32D192ED03ull + 0x8CB92BA72F3D8DD7ull) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  std::size_t below(std::size_t n) { return n ? static_cast<std::size_t>(next() % n) : 0; }
  bool chance(double p) { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0) < p; }
  template <class T>
  const T& pick(const std::vector<T>& v) { return v[below(v.size())]; }
  template <class T, std::size_t N>
  const T& pick(const std::array<T, N>& v) { return v[below(N)]; }

 private:
  std::uint64_t state_;
};

// Streams elements into a large buffer, flushed to the output as it fills.
class XmlWriter {
 public:
  XmlWriter(std::ostream& out, bool oneLine) : out_(out), oneLine_(oneLine) { buf_.reserve(kChunk + 4096); }

  void raw(std::string_view s) {
    buf_.append(s);
    flushIfFull();
  }
  void open(const char* name) {
    lineStart();
    buf_ += '<';
    buf_ += name;
    buf_ += '>';
    ++depth_;
  }
  void close(const char* name) {
    --depth_;
    lineStart();
    buf_ += "</";
    buf_ += name;
    buf_ += '>';
    flushIfFull();
  }
  void start(const char* name) {
    lineStart();
    buf_ += '<';
    buf_ += name;
  }
  void attr(const char* name, std::string_view value) {
    buf_ += ' ';
    buf_ += name;
    buf_ += "=\"";
    for (char c : value) {
      switch (c) {
        case '&': buf_ += "&amp;"; break;
        case '<': buf_ += "&lt;"; break;
        case '>': buf_ += "&gt;"; break;
        case '"': buf_ += "&quot;"; break;
        default: buf_ += c;
      }
    }
    buf_ += '"';
  }
  void attr(const char* name, std::uint64_t value) {
    char digits[24];
    const auto r = std::to_chars(digits, digits + sizeof digits, value);
    attr(name, std::string_view(digits, static_cast<std::size_t>(r.ptr - digits)));
  }
  void end() {
    buf_ += "/>";
    flushIfFull();
  }
  // Ends the start tag of an element whose children follow.
  void endStart() {
    buf_ += '>';
    ++depth_;
  }
  void finish() {
    if (!oneLine_) buf_ += '\n';
    flush();
    out_.flush();
  }
  std::uint64_t bytes() const { return written_ + buf_.size(); }

 private:
  static constexpr std::size_t kChunk = 1 << 20;

  void lineStart() {
    if (oneLine_ || !started_) {
      started_ = true;
      return;
    }
    buf_ += '\n';
    buf_.append(static_cast<std::size_t>(depth_ > 0 ? depth_ : 0) * 2, ' ');
  }
  void flushIfFull() {
    if (buf_.size() >= kChunk) flush();
  }
  void flush() {
    out_.write(buf_.data(), static_cast<std::streamsize>(buf_.size()));
    written_ += buf_.size();
    buf_.clear();
  }

  std::ostream& out_;
  std::string buf_;
  bool oneLine_;
  bool started_ = false;
  int depth_ = 0;
  std::uint64_t written_ = 0;
};

std::string twoDigits(int n) {
  std::string s = std::to_string(n);
  return s.size() < 2 ? "0" + s : s;
}

std::string clock(int minutes) { return twoDigits(minutes / 60) + ":" + twoDigits(minutes % 60); }

std::string date(int day, int month, int year) {
  return twoDigits(day) + "/" + twoDigits(month) + "/" + std::to_string(year);
}

// --- Name pools -----------------------------------------------------------

const std::vector<std::string> kSurnames = {
    "García", "Martínez", "López", "Sánchez", "Pérez", "Ferrer", "Soler", "Martí", "Vidal", "Navarro",
    "Ibáñez", "Peña", "Llorens", "Castelló", "Ortí", "Pons", "Mas", "Llopis", "Roig", "Bosch",
    "Esteve", "Cervera", "Sanchis", "Peñalver", "Climent", "Boix", "Miralles", "Puig", "Alcàntara",
    "Camarasa", "Fuster", "Sempere", "Ribes", "Doménech", "Albiñana", "Cháfer", "Vañó", "Montó",
    "Company", "Rovira", "Rodríguez", "Fernández", "Muñoz", "Jiménez", "Ruiz", "Hernández", "Moreno",
    "Álvarez", "Romero", "Torres", "Ramírez", "Ortega", "Úbeda", "Íñiguez", "Òdena", "Bataller",
    "Tormo", "Monzó", "Calatayud", "Andrés", "Blasco", "Chulià", "Domingo", "Escrivà", "Faus"};
const std::vector<std::string> kGivenNames = {
    "Núria", "Vicent", "Maria Dolors", "Jordi", "Àngela", "Josep Lluís", "Neus", "Carles", "Amparo",
    "Miquel", "Rosa", "Pau", "Laia", "Marta", "Manuel", "María", "Mercè", "Joan", "Pere", "Empar",
    "Consol", "Ximo", "Òscar", "Èric", "Ángel", "Inmaculada", "Francesc", "Sergi", "Raquel", "Elena",
    "Andreu", "Teresa", "Alícia", "Ferran", "Rafael", "Iñaki", "Ramon", "Lorena", "Isabel", "Xavier",
    "Begoña", "Ester", "Josefa", "Llúcia", "Agustí", "Cristina", "Juan Carlos", "Ana Isabel"};
// Surnames and names that all give the initials G, G, M.
const std::array<const char*, 4> kClusterFirst = {"García", "Gómez", "Gil", "Gisbert"};
const std::array<const char*, 4> kClusterSecond = {"Gómez", "García", "Giner", "Guillem"};
const std::array<const char*, 5> kClusterNames = {"María", "Manuel", "Marta", "Mercè", "Miquel"};
const std::array<const char*, 12> kStreets = {
    "C/ Major", "Av. del Port", "C/ de la Mar", "Pl. de l'Ajuntament", "C/ Sant Vicent",
    "Av. Blasco Ibáñez", "C/ Músic Penella", "C/ dels Tarongers", "Camí Vell", "C/ Alacant",
    "Passeig de la Ribera", "C/ Doctor Fleming"};
const std::array<const char*, 8> kTowns = {"València", "Gandia", "Alzira", "Xàtiva", "Sueca",
                                           "Ontinyent", "Torrent", "Burjassot"};

struct Template {
  std::string code, turno, val, cas;
  std::vector<std::pair<std::string, std::string>> hours;  // by order 1..n
  std::vector<int> listing;                                 // orders as written
};

struct Teacher {
  std::string dni, ap1, ap2, name, since, ensenanza;
};

struct Room {
  std::string code, name;
};

struct Subject {
  std::string code, course, val, cas;
  bool specialRoom = false;
};

struct Course {
  std::string code, abrev, padre, ensenanza;
  std::vector<std::size_t> subjects;
};

struct Group {
  std::string code, name, turno, ensenanza, tutor1, tutor2;
  std::size_t course = 0, tpl = 0, homeRoom = 0;
  bool alsoSecondTemplate = false;  // sessions in template 2 as well
};

struct Occupation {
  std::string code, val, cas;
  int weight = 1;
};

struct SubjectName {
  const char* val;
  const char* cas;
  bool specialRoom;
};

const std::vector<SubjectName> kEsoSubjects = {
    {"Llengua i Literatura Valenciana", "Lengua y Literatura Valenciana", false},
    {"Llengua Castellana i Literatura", "Lengua Castellana y Literatura", false},
    {"Matemàtiques", "Matemáticas", false},
    {"Anglés", "Inglés", false},
    {"Geografia i Història", "Geografía e Historia", false},
    {"Biologia i Geologia", "Biología y Geología", true},
    {"Física i Química", "Física y Química", true},
    {"Educació Física", "Educación Física", true},
    {"Música", "Música", true},
    {"Educació Plàstica, Visual i Audiovisual", "Educación Plástica, Visual y Audiovisual", true},
    {"Tecnologia i Digitalització", "Tecnología y Digitalización", true},
    {"Tutoria", "Tutoría", false},
    {"Valors Ètics", "Valores Éticos", false},
    {"Religió", "Religión", false},
    {"Francés", "Francés", false},
    {"Cultura Clàssica", "Cultura Clásica", false},
};
const std::vector<SubjectName> kBatSubjects = {
    {"Filosofia", "Filosofía", false},
    {"Història d'Espanya", "Historia de España", false},
    {"Matemàtiques", "Matemáticas", false},
    {"Anglés", "Inglés", false},
    {"Llengua Castellana i Literatura", "Lengua Castellana y Literatura", false},
    {"Llengua i Literatura Valenciana", "Lengua y Literatura Valenciana", false},
    {"Física", "Física", true},
    {"Química", "Química", true},
    {"Biologia", "Biología", true},
    {"Dibuix Tècnic", "Dibujo Técnico", true},
    {"Economia de l'Empresa", "Economía de la Empresa", false},
    {"Llatí", "Latín", false},
    {"Educació Física", "Educación Física", true},
    {"Tutoria", "Tutoría", false},
};
const std::vector<SubjectName> kFpModules = {
    {"Formació i Orientació Laboral", "Formación y Orientación Laboral", false},
    {"Empresa i Iniciativa Emprenedora", "Empresa e Iniciativa Emprendedora", false},
    {"Anglés Tècnic", "Inglés Técnico", false},
    {"Sistemes Informàtics", "Sistemas Informáticos", true},
    {"Bases de Dades", "Bases de Datos", true},
    {"Programació", "Programación", true},
    {"Xarxes Locals", "Redes Locales", true},
    {"Comunicació i Atenció al Client", "Comunicación y Atención al Cliente", false},
    {"Tutoria", "Tutoría", false},
};
const std::vector<SubjectName> kPrimarySubjects = {
    {"Llengua Valenciana i Literatura", "Lengua Valenciana y Literatura", false},
    {"Llengua Castellana i Literatura", "Lengua Castellana y Literatura", false},
    {"Matemàtiques", "Matemáticas", false},
    {"Anglés", "Inglés", false},
    {"Ciències de la Naturalesa", "Ciencias de la Naturaleza", false},
    {"Ciències Socials", "Ciencias Sociales", false},
    {"Educació Física", "Educación Física", true},
    {"Educació Artística", "Educación Artística", true},
    {"Religió", "Religión", false},
};

const std::array<const char*, 17> kCycles = {"SMR", "DAM", "DAW", "ASI", "GAD", "AFI", "COM", "MKT", "EIE",
                                             "AUT", "ELE", "MEC", "CAR", "EST", "TSA", "FAR", "LCL"};

// --- The centre -------------------------------------------------------------

class Centre {
 public:
  explicit Centre(const CentreOptions& o)
      : o_(o), rnd_(o.seed), bulk_(o.seed ^ 0x5DEECE66Dull), scale_(o.scale < 1 ? 1 : o.scale) {
    if (o.profile == Profile::LargeSecondary)
      buildSecondary();
    else
      buildPrimary();
  }

  CentreSummary write(std::ostream& out) {
    XmlWriter w(out, o_.oneLine);
    summary_ = {};
    summary_.templates = templates_.size();
    summary_.teachers = teachers_.size();
    summary_.rooms = rooms_.size();
    summary_.courses = courses_.size();
    summary_.groups = groups_.size();
    summary_.subjects = subjects_.size();
    summary_.occupations = occupations_.size();
    summary_.firstTemplate = templates_.front().code;

    w.raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    if (!o_.oneLine) w.raw("\n");
    w.start("centro");
    w.attr("codigo", secondary() ? "46999902" : "46999903");
    w.attr("denominacion", secondary() ? "IES Les Moreres de la Ribera" : "CEIP Mestre Ramon Llull");
    w.attr("curso", "2024");
    w.attr("version", "3.2.1");
    w.attr("fecha_exportacion", "14/10/2024 09:12:37");
    w.attr("tipo_centro", secondary() ? "IES" : "CEIP");
    w.endStart();
    writeTemplates(w);
    writeCatalogue(w);
    if (o_.bulk) writePupils(w);
    writeClassSessions(w);
    writeOccupationSessions(w);
    if (o_.bulk) writeAbsences(w);
    w.close("centro");
    w.finish();
    summary_.bytes = w.bytes();
    return summary_;
  }

 private:
  bool secondary() const { return o_.profile == Profile::LargeSecondary; }

  std::string dniFor(std::size_t i) {
    static const char* letters = "TRWAGMYFPDXBNJZSQVHLCKE";
    const std::uint64_t n = 10000000 + (i * 7919 + 1234567) % 90000000;
    if (i % 37 == 5) {  // a foreigner's NIE
      const std::uint64_t m = n % 10000000;
      return "X" + std::to_string(10000000 + m).substr(1) + letters[m % 23];
    }
    return std::to_string(n) + letters[n % 23];
  }

  Template makeTemplate(std::string code, std::string turno, std::string val, std::string cas, int startMin,
                        int length, int count, int breakAfter, bool shuffled) {
    Template t{std::move(code), std::move(turno), std::move(val), std::move(cas), {}, {}};
    int at = startMin;
    for (int i = 1; i <= count; ++i) {
      t.hours.emplace_back(clock(at), clock(at + length));
      at += length;
      if (i == breakAfter) at += 30;
      t.listing.push_back(i);
    }
    if (shuffled)
      for (std::size_t i = t.listing.size(); i > 1; --i) std::swap(t.listing[i - 1], t.listing[rnd_.below(i)]);
    return t;
  }

  void addTeachers(std::size_t count, std::size_t cluster, const char* ensenanza) {
    for (std::size_t i = 0; i < count; ++i) {
      Teacher t;
      t.dni = dniFor(teachers_.size());
      if (i < cluster) {
        t.ap1 = rnd_.pick(kClusterFirst);
        t.ap2 = rnd_.pick(kClusterSecond);
        t.name = rnd_.pick(kClusterNames);
      } else if (i == cluster) {
        t.ap1 = "de la Torre", t.ap2 = "Sanchis", t.name = "Marta";
      } else if (i == cluster + 1) {
        t.ap1 = "De Miguel", t.ap2 = "Soler", t.name = "Manuel";
      } else {
        t.ap1 = rnd_.pick(kSurnames);
        t.ap2 = rnd_.chance(0.05) ? "" : rnd_.pick(kSurnames);
        t.name = rnd_.pick(kGivenNames);
      }
      t.since = date(1 + static_cast<int>(rnd_.below(28)), 9, 1990 + static_cast<int>(rnd_.below(35)));
      t.ensenanza = ensenanza;
      teachers_.push_back(std::move(t));
    }
  }

  void addRooms(std::size_t plain, const std::vector<std::pair<const char*, const char*>>& special, int replica) {
    const std::string tag = replica ? "-" + std::to_string(replica) : "";
    for (std::size_t i = 0; i < plain; ++i) {
      const std::size_t n = rooms_.size() + 1;
      std::string digits = std::to_string(1000 + n).substr(1);
      rooms_.push_back({"AULA" + digits, "Aula " + std::to_string(n / 20 + 1) + "." + twoDigits(static_cast<int>(n % 20))});
    }
    for (const auto& [code, name] : special) {
      const std::string c = code;
      rooms_.push_back({c.empty() ? c : c + tag, name + (replica ? " (" + std::to_string(replica + 1) + ")" : "")});
    }
  }

  std::size_t addSubject(Course& course, const SubjectName& n, std::string code) {
    subjects_.push_back({std::move(code), course.code, n.val, n.cas, n.specialRoom});
    course.subjects.push_back(subjects_.size() - 1);
    return subjects_.size() - 1;
  }

  std::string numericCode() { return std::to_string(29000000 + (subjects_.size() * 104729 + 17) % 1000000); }

  void addGroup(std::size_t course, std::string code, std::string name, const char* turno, std::size_t tpl) {
    Group g;
    g.code = std::move(code);
    g.name = std::move(name);
    g.turno = turno;
    g.ensenanza = courses_[course].ensenanza;
    g.course = course;
    g.tpl = tpl;
    g.homeRoom = rnd_.below(plainRooms_);
    if (rnd_.chance(0.85)) {
      g.tutor1 = teachers_[rnd_.below(teachers_.size())].dni;
    } else if (rnd_.chance(0.7)) {
      g.tutor2 = teachers_[rnd_.below(teachers_.size())].dni;  // only a second tutor
    }
    groups_.push_back(std::move(g));
  }

  void addOccupations(int replica) {
    struct O {
      const char *code, *val, *cas;
      int weight;
    };
    static const O list[] = {
        {"GUA001", "Guàrdia", "Guardia", 12},
        {"GUA002", "Guàrdia de pati", "Guardia de patio", 5},
        {"BIB002", "Guàrdia de biblioteca", "Guardia de biblioteca", 3},
        {"RDP010", "Reunió de departament", "Reunión de departamento", 4},
        {"REE011", "Reunió d'equip educatiu", "Reunión de equipo educativo", 2},
        {"CAP020", "Cap de departament", "Jefatura de departamento", 2},
        {"COO030", "Coordinació TIC", "Coordinación TIC", 1},
        {"COO031", "Coordinació d'igualtat i convivència", "Coordinación de igualdad y convivencia", 1},
        {"TUT040", "Tutoria", "Tutoría", 2},  // named like a subject
        {"ATF041", "Atenció a famílies", "Atención a familias", 3},
        {"JES050", "Cap d'estudis", "Jefatura de estudios", 1},
        {"DIR051", "Direcció", "Dirección", 1},
        {"SEC052", "Secretaria", "Secretaría", 1},
        {"PLA060", "Pla de normalització lingüística", "Plan de normalización lingüística", 1},
        {"FCT070", "Seguiment de la FCT", "Seguimiento de la FCT", 2},
        {"ACT080", "Activitats extraescolars", "Actividades extraescolares", 1},
        {"TX345", "Projecte d'innovació", "Proyecto de innovación", 1},
        {"OC345", "Programa de reutilització de llibres", "Programa de reutilización de libros", 1},
    };
    const std::string tag = replica ? "-" + std::to_string(replica) : "";
    const std::string nameTag = replica ? " (" + std::to_string(replica + 1) + ")" : "";
    for (const auto& e : list) {
      // The "Tutoria" occupation keeps its name in every replica.
      const bool likeSubject = std::string_view(e.code) == "TUT040";
      occupations_.push_back({e.code + tag, e.val + (likeSubject ? "" : nameTag),
                              e.cas + (likeSubject ? "" : nameTag), e.weight});
    }
  }

  void buildSecondary() {
    templates_.push_back(makeTemplate("58231", "M", "Horari de matí", "Horario de mañana", 8 * 60, 55, 7, 3, false));
    templates_.push_back(makeTemplate("58232", "T", "Horari de vesprada", "Horario de tarde", 15 * 60, 55, 7, 3, false));
    templates_.push_back(makeTemplate("58233", "N", "Horari nocturn (FP)", "Horario nocturno (FP)", 16 * 60 + 30, 40, 11, 5, true));
    ensenanzas_ = {{"3", "ESO", "Educació Secundària Obligatòria"}, {"5", "BAT", "Batxillerat"},
                   {"6", "CFGM", "Cicles Formatius de Grau Mitjà"}, {"7", "CFGS", "Cicles Formatius de Grau Superior"},
                   {"8", "FPB", "Formació Professional Bàsica"}};

    const std::vector<std::pair<const char*, const char*>> special = {
        {"LAB-FIS", "Laboratori de Física"}, {"LAB-QUI", "Laboratori de Química"},
        {"LAB-BIO", "Laboratori de Biologia"}, {"TALLER1", "Taller de Tecnologia 1"},
        {"TALLER2", "Taller de Tecnologia 2"}, {"INF1", "Aula d'Informàtica 1"}, {"INF2", "Aula d'Informàtica 2"},
        {"INF3", "Aula d'Informàtica 3"}, {"INF4", "Aula d'Informàtica 4"}, {"GIM", "Gimnàs"},
        {"gim", "Gimnàs vell"}, {"PISTA", "Pista poliesportiva"}, {"MUS", "Aula de Música"},
        {"PLAST", "Aula de Plàstica"}, {"DIBUIX", "Aula de Dibuix"}, {"BIB", "Biblioteca"},
        {"SALA-ACTES", "Saló d'actes"}, {"DEP-MAT", "Departament de Matemàtiques"},
        {"", "Pati cobert"}};
    for (int r = 0; r < scale_; ++r) {
      const std::size_t firstRoom = rooms_.size();
      addRooms(60, special, r);
      specialRooms_.push_back({firstRoom + 60, rooms_.size()});
      addTeachers(250, 14, "3");
      addOccupations(r);
    }
    for (std::size_t i = 0; i < rooms_.size(); ++i)
      if (rooms_[i].code.rfind("AULA", 0) == 0) plainRoomIndex_.push_back(i);
    plainRooms_ = plainRoomIndex_.size();

    for (int r = 0; r < scale_; ++r) {
      const std::string tag = r ? std::to_string(r) : "";
      const std::string nameTag = r ? " (seu " + std::to_string(r + 1) + ")" : "";
      std::size_t base = courses_.size();
      // ESO, with its parent course (no record: no parent, no digit first).
      courses_.push_back({std::to_string(4000 + base), "ESO", "", "3", {}});
      const std::string esoParent = courses_.back().code;
      for (int year = 1; year <= 4; ++year) {
        Course c{std::to_string(4000 + courses_.size()), std::to_string(year) + "ESO", esoParent, "3", {}};
        courses_.push_back(c);
        Course& course = courses_.back();
        for (const auto& n : kEsoSubjects) addSubject(course, n, numericCode());
        if (year == 1 && r == 0) {
          // Two optional subjects whose codes differ only in letter case.
          addSubject(course, {"Taller de lectura", "Taller de lectura", false}, "TLECT");
          addSubject(course, {"Taller de Lectura i Escriptura", "Taller de Lectura y Escritura", false}, "tlect");
        }
        const std::size_t ci = courses_.size() - 1;
        const int letters = year == 1 ? 12 : 8;
        for (int l = 0; l < letters; ++l) {
          const char letter = static_cast<char>('A' + l);
          addGroup(ci, std::to_string(year) + "ESO" + letter + tag,
                   std::to_string(year) + (year == 1 ? "r" : year == 2 ? "n" : year == 3 ? "r" : "t") + " ESO " +
                       letter + nameTag,
                   "M", 0);
        }
        if (year == 1) {
          // Reinforcement groups: twelve keys that all give the short code 1ESR.
          for (int l = 0; l < 12; ++l) {
            const char letter = static_cast<char>('A' + l);
            addGroup(ci, "1ESO" + std::string(1, letter) + "R" + tag, "1r ESO " + std::string(1, letter) + " Reforç" + nameTag,
                     "M", 0);
          }
        }
      }
      for (int year = 1; year <= 2; ++year) {
        courses_.push_back({std::to_string(4000 + courses_.size()), std::to_string(year) + "BAT", "", "5", {}});
        Course& course = courses_.back();
        for (const auto& n : kBatSubjects) addSubject(course, n, numericCode());
        const std::size_t ci = courses_.size() - 1;
        for (int l = 0; l < 6; ++l) {
          const char letter = static_cast<char>('A' + l);
          addGroup(ci, std::to_string(year) + "BAT" + letter + tag,
                   std::to_string(year) + (year == 1 ? "r" : "n") + " Batxillerat " + letter + nameTag, "M", 0);
        }
      }
      std::size_t cycleIndex = 0;
      for (const char* cycle : kCycles) {
        const bool superior = cycleIndex % 2 == 1;
        for (int year = 1; year <= 2; ++year) {
          courses_.push_back({std::to_string(4000 + courses_.size()), std::to_string(year) + cycle, "",
                              superior ? "7" : "6", {}});
          Course& course = courses_.back();
          int module = 0;
          for (const auto& n : kFpModules) {
            // Module codes of eleven or twelve characters.
            addSubject(course, n,
                       "MP" + std::to_string(1000 + (cycleIndex * 40 + static_cast<std::size_t>(year) * 10 + static_cast<std::size_t>(module)) % 9000) +
                           "_" + cycle + std::to_string(year) + tag);
            ++module;
          }
          const std::size_t ci = courses_.size() - 1;
          for (int l = 0; l < 2; ++l) {
            const std::size_t which = (cycleIndex * 4 + static_cast<std::size_t>(year) * 2 + static_cast<std::size_t>(l)) % 5;
            const std::size_t tpl = which < 2 ? 0 : which < 4 ? 1 : 2;
            const char letter = static_cast<char>('A' + l);
            addGroup(ci, std::to_string(year) + cycle + letter + tag,
                     std::to_string(year) + "r " + cycle + " " + letter + nameTag, tpl == 0 ? "M" : tpl == 1 ? "T" : "N",
                     tpl);
          }
        }
        ++cycleIndex;
      }
      courses_.push_back({std::to_string(4000 + courses_.size()), "1FPB", "", "8", {}});
      {
        Course& course = courses_.back();
        for (std::size_t m = 0; m < 6; ++m) addSubject(course, kFpModules[m], numericCode());
        const std::size_t ci = courses_.size() - 1;
        addGroup(ci, "1FPBA" + tag, "1r FP Bàsica A" + nameTag, "T", 1);
        addGroup(ci, "1FPBB" + tag, "1r FP Bàsica B" + nameTag, "T", 1);
      }
    }
    pupilsPerScale_ = 2000;
    absencesPerPupil_ = 80;
    parallel_ = {20, 30, 28, 22};
    occupationSessionsPerTeacher_ = 8;
  }

  void buildPrimary() {
    templates_.push_back(makeTemplate("41001", "M", "Jornada contínua", "Jornada continua", 9 * 60, 45, 6, 3, false));
    templates_.push_back(makeTemplate("41002", "M", "Jornada reduïda (juny i setembre)",
                                      "Jornada reducida (junio y septiembre)", 9 * 60, 50, 5, 3, false));
    ensenanzas_ = {{"1", "INF", "Educació Infantil"}, {"2", "PRI", "Educació Primària"}};
    const std::vector<std::pair<const char*, const char*>> special = {
        {"GIM", "Gimnàs"}, {"MUS", "Aula de Música"}, {"BIB", "Biblioteca"}, {"INF", "Aula d'Informàtica"}};
    for (int r = 0; r < scale_; ++r) {
      const std::size_t firstRoom = rooms_.size();
      addRooms(12, special, r);
      specialRooms_.push_back({firstRoom + 12, rooms_.size()});
      addTeachers(22, 4, "2");
      addOccupations(r);
    }
    for (std::size_t i = 0; i < rooms_.size(); ++i)
      if (rooms_[i].code.rfind("AULA", 0) == 0) plainRoomIndex_.push_back(i);
    plainRooms_ = plainRoomIndex_.size();
    for (int r = 0; r < scale_; ++r) {
      const std::string tag = r ? std::to_string(r) : "";
      courses_.push_back({std::to_string(3000 + courses_.size()), "INF", "", "1", {}});
      const std::string infParent = courses_.back().code;
      for (int age = 3; age <= 5; ++age) {
        courses_.push_back({std::to_string(3000 + courses_.size()), "I" + std::to_string(age), infParent, "1", {}});
        Course& course = courses_.back();
        addSubject(course, {"Creixement en harmonia", "Crecimiento en armonía", false}, numericCode());
        addSubject(course, {"Descoberta i exploració de l'entorn", "Descubrimiento y exploración del entorno", false},
                   numericCode());
        addSubject(course, {"Comunicació i representació de la realitat", "Comunicación y representación de la realidad", false},
                   numericCode());
        addSubject(course, {"Anglés", "Inglés", false}, numericCode());
        addGroup(courses_.size() - 1, "I" + std::to_string(age) + "A" + tag, "Infantil " + std::to_string(age) + " anys A", "M", 0);
      }
      courses_.push_back({std::to_string(3000 + courses_.size()), "PRI", "", "2", {}});
      const std::string priParent = courses_.back().code;
      for (int year = 1; year <= 6; ++year) {
        courses_.push_back({std::to_string(3000 + courses_.size()), std::to_string(year) + "PRI", priParent, "2", {}});
        Course& course = courses_.back();
        for (const auto& n : kPrimarySubjects) addSubject(course, n, numericCode());
        const std::size_t ci = courses_.size() - 1;
        addGroup(ci, std::to_string(year) + "PRIA" + tag, std::to_string(year) + "r Primària A", "M", 0);
        if (year <= 3) addGroup(ci, std::to_string(year) + "PRIB" + tag, std::to_string(year) + "r Primària B", "M", 0);
      }
    }
    for (auto& g : groups_) g.alsoSecondTemplate = true;
    pupilsPerScale_ = 300;
    absencesPerPupil_ = 30;
    parallel_ = {90, 10, 0, 0};
    occupationSessionsPerTeacher_ = 5;
  }

  // --- Writing ------------------------------------------------------------

  void writeTemplates(XmlWriter& w) {
    w.open("plantillas_horario");
    for (const auto& t : templates_) {
      w.start("plantilla_horario");
      w.attr("codigo", t.code);
      w.attr("turno", t.turno);
      w.attr("descripcion_val", t.val);
      w.attr("descripcion_cas", t.cas);
      w.end();
    }
    w.close("plantillas_horario");
    w.open("sesiones_horario");
    static const char* days = "LMXJV";
    for (const auto& t : templates_) {
      for (int d = 0; d < 5; ++d) {
        for (int order : t.listing) {
          w.start("sesion_horario");
          w.attr("plantilla", t.code);
          w.attr("dia_semana", std::string_view(days + d, 1));
          w.attr("sesion_orden", static_cast<std::uint64_t>(order));
          w.attr("hora_desde", t.hours[static_cast<std::size_t>(order - 1)].first);
          w.attr("hora_hasta", t.hours[static_cast<std::size_t>(order - 1)].second);
          w.end();
        }
      }
    }
    w.close("sesiones_horario");
  }

  void writeCatalogue(XmlWriter& w) {
    w.open("contenidos");
    for (const auto& s : subjects_) {
      w.start("contenido");
      w.attr("codigo", s.code);
      w.attr("curso", s.course);
      w.attr("nombre_val", s.val);
      w.attr("nombre_cas", s.cas);
      w.end();
    }
    w.close("contenidos");
    w.open("ocupaciones");
    for (const auto& o : occupations_) {
      w.start("ocupacion");
      w.attr("codigo", o.code);
      w.attr("nombre_val", o.val);
      w.attr("nombre_cas", o.cas);
      w.end();
    }
    w.close("ocupaciones");
    w.open("docentes");
    for (const auto& t : teachers_) {
      w.start("docente");
      w.attr("documento", t.dni);
      w.attr("apellido1", t.ap1);
      w.attr("apellido2", t.ap2);
      w.attr("nombre", t.name);
      w.attr("fecha_ingreso", t.since);
      w.attr("ensenanza", t.ensenanza);
      w.end();
    }
    w.close("docentes");
    w.open("aulas");
    for (const auto& r : rooms_) {
      w.start("aula");
      w.attr("codigo", r.code);
      w.attr("nombre", r.name);
      w.end();
    }
    w.close("aulas");
    w.open("ensenanzas");
    for (const auto& e : ensenanzas_) {
      w.start("ensenanza");
      w.attr("ensenanza", e[0]);
      w.attr("abreviatura", e[1]);
      w.attr("nombre_val", e[2]);
      w.end();
    }
    w.close("ensenanzas");
    w.open("cursos");
    for (const auto& c : courses_) {
      w.start("curso");
      w.attr("codigo", c.code);
      w.attr("abreviatura", c.abrev);
      w.attr("padre", c.padre);
      w.attr("ensenanza", c.ensenanza);
      w.end();
    }
    w.close("cursos");
    w.open("cursos_grupo");
    for (const auto& g : groups_) {
      w.start("curso_grupo");
      w.attr("grupo", g.code);
      w.attr("curso", courses_[g.course].code);
      w.end();
    }
    w.close("cursos_grupo");
    w.open("grupos");
    for (const auto& g : groups_) {
      w.start("grupo");
      w.attr("codigo", g.code);
      w.attr("nombre", g.name);
      w.attr("turno", g.turno);
      w.attr("ensenanza", g.ensenanza);
      w.attr("tutor_ppal", g.tutor1);
      w.attr("tutor_sec", g.tutor2);
      w.end();
    }
    w.close("grupos");
  }

  // The teacher of a subject in a group: departments are not modelled, a
  // stable spread over the teachers who teach (the last 3% teach nothing).
  const std::string& teacherOf(std::size_t subject, std::size_t group) const {
    const std::size_t teaching = teachers_.size() - teachers_.size() * 3 / 100;
    const std::size_t i = (subject * 2654435761u + (group / 2) * 40503u) % teaching;
    return teachers_[i].dni;
  }

  std::size_t roomFor(const Group& g, const Subject& s, std::size_t parallelIndex) {
    if (s.specialRoom || parallelIndex > 0) {
      const auto& [from, to] = specialRooms_[rnd_.below(specialRooms_.size())];
      if (s.specialRoom && to > from) return from + rnd_.below(to - from);
      return plainRoomIndex_[rnd_.below(plainRoomIndex_.size())];
    }
    return plainRoomIndex_[g.homeRoom % plainRoomIndex_.size()];
  }

  void writeClassSessions(XmlWriter& w) {
    w.open("horarios_grupo");
    for (std::size_t gi = 0; gi < groups_.size(); ++gi) {
      writeGroupWeek(w, gi, groups_[gi].tpl);
      if (groups_[gi].alsoSecondTemplate) writeGroupWeek(w, gi, 1);
    }
    w.close("horarios_grupo");
  }

  void writeGroupWeek(XmlWriter& w, std::size_t gi, std::size_t tpl) {
    static const char* days = "LMXJV";
    {
      const Group& g = groups_[gi];
      const Course& c = courses_[g.course];
      const Template& t = templates_[tpl];
      const std::size_t perDay = t.hours.size();
      const double free = perDay > 8 ? 0.35 : 0.15;
      for (int d = 0; d < 5; ++d) {
        for (std::size_t order = 1; order <= perDay; ++order) {
          if (rnd_.chance(free)) continue;
          std::size_t k = 1;
          const std::size_t roll = rnd_.below(100);
          for (std::size_t acc = 0, i = 0; i < parallel_.size(); ++i) {
            acc += parallel_[i];
            if (roll < acc) {
              k = i + 1;
              break;
            }
          }
          k = std::min(k, c.subjects.size());
          const std::size_t first = rnd_.below(c.subjects.size());
          for (std::size_t p = 0; p < k; ++p) {
            const std::size_t si = c.subjects[(first + p * 3) % c.subjects.size()];
            const Subject& s = subjects_[si];
            std::string teacher = teacherOf(si, gi);
            if (rnd_.chance(0.01)) teacher = "99999999R";           // a teacher in no "docente"
            else if (rnd_.chance(0.005)) teacher.clear();           // no teacher yet
            std::string subjectCode = s.code;
            if (rnd_.chance(0.002)) subjectCode = "BAIXA" + s.code;  // a subject since removed
            const bool noRoom = rnd_.chance(0.05);
            const std::size_t room = roomFor(g, s, p);
            w.start("horario_grupo");
            w.attr("plantilla", t.code);
            w.attr("dia_semana", std::string_view(days + d, 1));
            w.attr("sesion_orden", static_cast<std::uint64_t>(order));
            w.attr("hora_desde", t.hours[order - 1].first);
            w.attr("hora_hasta", t.hours[order - 1].second);
            w.attr("grupo", g.code);
            w.attr("ensenanza", g.ensenanza);
            w.attr("curso", c.code);
            w.attr("contenido", subjectCode);
            w.attr("docente", teacher);
            w.attr("aula", noRoom ? std::string_view() : std::string_view(rooms_[room].code));
            w.attr("idioma", "");
            w.end();
            ++summary_.classSessions;
            if (tpl == 0) ++summary_.classSessionsFirst;
          }
        }
      }
    }
  }

  void writeOccupationSessions(XmlWriter& w) {
    static const char* days = "LMXJV";
    int totalWeight = 0;
    for (const auto& o : occupations_) totalWeight += o.weight;
    w.open("horarios_ocupaciones");
    for (const auto& teacher : teachers_) {
      const std::size_t n = occupationSessionsPerTeacher_ / 2 + rnd_.below(occupationSessionsPerTeacher_ + 1);
      for (std::size_t i = 0; i < n; ++i) {
        const std::size_t roll = rnd_.below(100);
        const std::size_t tpl = roll < 70 || templates_.size() == 1 ? 0 : (roll < 90 || templates_.size() == 2 ? 1 : 2);
        const Template& t = templates_[tpl];
        int pick = static_cast<int>(rnd_.below(static_cast<std::size_t>(totalWeight)));
        std::size_t oi = 0;
        while (pick >= occupations_[oi].weight) pick -= occupations_[oi++].weight;
        const std::size_t order = 1 + rnd_.below(t.hours.size());
        w.start("horario_ocupacion");
        w.attr("plantilla", t.code);
        w.attr("dia_semana", std::string_view(days + rnd_.below(5), 1));
        w.attr("sesion_orden", static_cast<std::uint64_t>(order));
        w.attr("hora_desde", t.hours[order - 1].first);
        w.attr("hora_hasta", t.hours[order - 1].second);
        w.attr("docente", rnd_.chance(0.005) ? std::string_view("99999999R") : std::string_view(teacher.dni));
        w.attr("ensenanza", teacher.ensenanza);
        w.attr("ocupacion", occupations_[oi].code);
        w.end();
        ++summary_.occupationSessions;
      }
    }
    w.close("horarios_ocupaciones");
  }

  std::string pupilNia(std::size_t i) const { return std::to_string(1000000000ull + i * 7 + 3); }

  void writePupils(XmlWriter& w) {
    const std::size_t pupils = pupilsPerScale_ * static_cast<std::size_t>(scale_);
    summary_.pupils = pupils;
    w.open("alumnos");
    for (std::size_t i = 0; i < pupils; ++i) {
      const Group& g = groups_[i % groups_.size()];
      const bool girl = bulk_.chance(0.5);
      w.start("alumno");
      w.attr("nia", pupilNia(i));
      w.attr("tipo_documento", "1");
      w.attr("documento", i % 5 == 0 ? std::string() : dniFor(500000 + i));
      w.attr("nombre", bulk_.pick(kGivenNames));
      w.attr("apellido1", bulk_.pick(kSurnames));
      w.attr("apellido2", bulk_.pick(kSurnames));
      w.attr("sexo", girl ? "M" : "H");
      w.attr("fecha_nacimiento", date(1 + static_cast<int>(bulk_.below(28)), 1 + static_cast<int>(bulk_.below(12)),
                                      2005 + static_cast<int>(bulk_.below(14))));
      w.attr("nacionalidad", "ESPAÑOLA");
      w.attr("pais_nacimiento", "ESPAÑA");
      w.attr("provincia_nacimiento", "VALÈNCIA");
      w.attr("municipio_nacimiento", bulk_.pick(kTowns));
      w.attr("domicilio", bulk_.pick(kStreets));
      w.attr("numero", static_cast<std::uint64_t>(1 + bulk_.below(120)));
      w.attr("escalera", "");
      w.attr("piso", static_cast<std::uint64_t>(bulk_.below(9)));
      w.attr("puerta", static_cast<std::uint64_t>(1 + bulk_.below(20)));
      w.attr("codigo_postal", "46" + std::to_string(100 + bulk_.below(900)));
      w.attr("municipio", bulk_.pick(kTowns));
      w.attr("provincia", "VALÈNCIA");
      w.attr("telefono", "96" + std::to_string(1000000 + bulk_.below(9000000)));
      w.attr("telefono_movil", "6" + std::to_string(10000000 + bulk_.below(90000000)));
      w.attr("email", "alumne" + std::to_string(i) + "@alu.edu.gva.es");
      w.attr("grupo", g.code);
      w.attr("curso", courses_[g.course].code);
      w.attr("ensenanza", g.ensenanza);
      w.attr("fecha_matricula", date(1 + static_cast<int>(bulk_.below(28)), 7, 2024));
      w.attr("repetidor", bulk_.chance(0.08) ? "S" : "N");
      w.attr("observaciones", i % 17 == 0 ? "Necessita adaptació curricular: \"lectura fàcil\" & suport <TEA>" : "");
      w.end();
    }
    w.close("alumnos");
    w.open("familiares");
    for (std::size_t i = 0; i < pupils; ++i) {
      for (int f = 0; f < 2; ++f) {
        w.start("familiar");
        w.attr("nia", pupilNia(i));
        w.attr("parentesco", f == 0 ? "MARE" : "PARE");
        w.attr("documento", dniFor(900000 + i * 2 + static_cast<std::size_t>(f)));
        w.attr("nombre", bulk_.pick(kGivenNames));
        w.attr("apellido1", bulk_.pick(kSurnames));
        w.attr("apellido2", bulk_.pick(kSurnames));
        w.attr("telefono", "6" + std::to_string(10000000 + bulk_.below(90000000)));
        w.attr("email", "familia" + std::to_string(i) + "_" + std::to_string(f) + "@correu.example");
        w.attr("domicilio", bulk_.pick(kStreets));
        w.attr("municipio", bulk_.pick(kTowns));
        w.attr("custodia", "S");
        w.attr("recibe_comunicaciones", f == 0 ? "S" : "N");
        w.end();
      }
    }
    w.close("familiares");
  }

  void writeAbsences(XmlWriter& w) {
    static const char* days = "LMXJV";
    const std::size_t pupils = pupilsPerScale_ * static_cast<std::size_t>(scale_);
    w.open("faltas_asistencia");
    for (std::size_t i = 0; i < pupils; ++i) {
      const Group& g = groups_[i % groups_.size()];
      const Course& c = courses_[g.course];
      const Template& t = templates_[g.tpl];
      const std::string nia = pupilNia(i);
      const std::size_t n = absencesPerPupil_ / 2 + bulk_.below(absencesPerPupil_ + 1);
      for (std::size_t a = 0; a < n; ++a) {
        const std::size_t order = 1 + bulk_.below(t.hours.size());
        const std::size_t si = c.subjects[bulk_.below(c.subjects.size())];
        w.start("falta");
        w.attr("nia", nia);
        w.attr("fecha", date(1 + static_cast<int>(bulk_.below(28)), 1 + static_cast<int>(bulk_.below(12)), 2024));
        w.attr("dia_semana", std::string_view(days + bulk_.below(5), 1));
        w.attr("sesion_orden", static_cast<std::uint64_t>(order));
        w.attr("hora_desde", t.hours[order - 1].first);
        w.attr("hora_hasta", t.hours[order - 1].second);
        w.attr("grupo", g.code);
        w.attr("contenido", subjects_[si].code);
        w.attr("docente", teacherOf(si, i % groups_.size()));
        w.attr("tipo", bulk_.chance(0.8) ? "F" : "R");
        w.attr("justificada", bulk_.chance(0.6) ? "S" : "N");
        w.attr("motivo", bulk_.chance(0.3) ? "Malaltia" : "");
        w.end();
      }
    }
    w.close("faltas_asistencia");
  }

  CentreOptions o_;
  Random rnd_;
  Random bulk_;  // pupils and absences draw apart, so bulk leaves the timetable as it is
  int scale_;
  std::vector<Template> templates_;
  std::vector<Teacher> teachers_;
  std::vector<Room> rooms_;
  std::vector<std::size_t> plainRoomIndex_;
  std::vector<std::pair<std::size_t, std::size_t>> specialRooms_;
  std::size_t plainRooms_ = 1;
  std::vector<Subject> subjects_;
  std::vector<Course> courses_;
  std::vector<Group> groups_;
  std::vector<Occupation> occupations_;
  std::vector<std::array<std::string, 3>> ensenanzas_;
  std::size_t pupilsPerScale_ = 0;
  std::size_t absencesPerPupil_ = 0;
  std::array<std::size_t, 4> parallel_{100, 0, 0, 0};
  std::size_t occupationSessionsPerTeacher_ = 0;
  CentreSummary summary_;
};

}  // namespace

CentreSummary writeCentre(std::ostream& out, const CentreOptions& options) {
  Centre centre(options);
  return centre.write(out);
}

CentreSummary writeCentreFile(const std::filesystem::path& file, const CentreOptions& options) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot create " + file.string());
  CentreSummary summary = writeCentre(out, options);
  out.close();
  if (!out) throw std::runtime_error("cannot write " + file.string());
  return summary;
}

std::string centreText(const CentreOptions& options, CentreSummary* summary) {
  std::ostringstream out;
  const CentreSummary s = writeCentre(out, options);
  if (summary) *summary = s;
  return std::move(out).str();
}

}  // namespace tvi::gen
