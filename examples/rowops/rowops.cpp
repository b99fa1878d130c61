// Row operations: reads a small table of parts, changes a price, removes a part and adds one
// through the rows of a result, and shows each statement the library generates for them.
//
//   rowops                        SQLite, a new database file in a temporary folder
//   rowops FOLDER                 SQLite, the database file FOLDER/parts.db
//   rowops "CONNECTION STRING"    any driver, for instance
//          "DRIVER=PostgreSQL Unicode;Server=localhost;Port=5432;Database=shop;UID=me"
#include <odbc/OCL.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

// A connection string given as such, or a SQLite database file in the folder given.
std::string ConnectionString(int argc, char** argv) {
  std::string arg = argc > 1 ? argv[1] : "";
  if (arg.find('=') != std::string::npos) return arg;
  std::filesystem::path folder = arg;
  if (arg.empty()) {
    folder = std::filesystem::temp_directory_path() / "ocl-rowops";
    std::filesystem::create_directories(folder);
  }
  return "DRIVER=SQLite3;Database=" + (folder / "parts.db").string();
}

void Run(ocl::THstmt& stmt, const std::string& sql) {
  stmt.SetSQL(sql);
  stmt.Execute();
}

void CreateParts(ocl::THstmt& stmt) {
  Run(stmt, "DROP TABLE IF EXISTS parts");
  Run(stmt, "CREATE TABLE parts (id INTEGER PRIMARY KEY, name VARCHAR(40), price NUMERIC(8,2))");
  Run(stmt, "INSERT INTO parts VALUES (1, 'Bolt', 0.25), (2, 'Nut', 0.10), (3, 'Washer', 0.05)");
}

void ListParts(ocl::THstmt& stmt) {
  Run(stmt, "SELECT id, name, price FROM parts ORDER BY id");
  for (auto& row : stmt.Rows())
    std::printf("  %lld  %-8s %6.2f\n", static_cast<long long>(row["id"].AsInteger()),
                row["name"].AsString().c_str(), row["price"].AsDouble());
}

}  // namespace

int main(int argc, char** argv) {
  ocl::OCL_Startup();
  int status = 0;
  try {
    rtl::TComponent owner(nullptr);
    auto* db = rtl::TComponent::Create<ocl::THdbc>(&owner);
    db->SetAttributes({ConnectionString(argc, argv)});
    auto* list = rtl::TComponent::Create<ocl::THstmt>(&owner);  // linked to db
    CreateParts(*list);
    std::printf("%s, parts:\n", db->GetInfoString(SQL_DBMS_NAME).c_str());
    ListParts(*list);

    // Rows are written back through generated INSERT, UPDATE and DELETE statements, even
    // where the cursor could write them itself, and OnStatement shows each before it runs.
    auto* parts = rtl::TComponent::Create<ocl::THstmt>(&owner);
    parts->SetSkipByPosition(true);
    parts->OnStatement = [](rtl::TComponent*, SQLUSMALLINT, std::string& sql) {
      std::printf("    %s\n", sql.c_str());
    };

    // All parts in one rowset: a row's mark says which operation handles it, and the key
    // column finds the row in the table.
    parts->SetRowSetSize(10);
    Run(*parts, "SELECT id, name, price FROM parts ORDER BY id");
    parts->Fetch();
    parts->SetPrimary(parts->ColumnNumber("id"));
    std::printf("Nut costs 0.12 now:\n");
    parts->Cell("price", 2).SetDouble(0.12);
    parts->SetRowMark(2, ocl::roUpdate);
    parts->Update();
    std::printf("Bolt is gone:\n");
    parts->SetRowMark(1, ocl::roDelete);
    parts->Delete();

    // A new part: an empty result gives the buffers, and with no row fetched Insert writes
    // the first row of them.
    std::printf("Spring comes in:\n");
    Run(*parts, "SELECT id, name, price FROM parts WHERE 1 = 0");
    parts->Cell("id", 1).SetInteger(4);
    parts->Cell("name", 1).SetString("Spring");
    parts->Cell("price", 1).SetDouble(1.50);
    parts->Insert();

    std::printf("Parts:\n");
    ListParts(*list);
  } catch (const ocl::EODBC& e) {
    std::fprintf(stderr, "%s %s\n", e.SqlState.c_str(), e.Message().c_str());
    status = 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    status = 1;
  }
  ocl::OCL_Shutdown();
  return status;
}
