// Connects to a SQLite database file through the installed library and names the DBMS.
#include <odbc/OCL.h>

#include <iostream>
#include <memory>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  ocl::OCL_Startup();
  int status = 0;
  try {
    std::unique_ptr<ocl::THdbc> db(rtl::TComponent::Create<ocl::THdbc>(nullptr));
    db->SetDriver("SQLite3");
    db->SetAttributes({std::string("Database=") + argv[1]});
    db->Connect();
    std::cout << db->GetInfoString(SQL_DBMS_NAME) << "\n";
  } catch (const ocl::EODBC& e) {
    std::cout << e.SqlState << " " << e.Message() << "\n";
    status = 1;
  }
  ocl::OCL_Shutdown();
  return status;
}
