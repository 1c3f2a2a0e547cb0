#pragma once
// The two constraint switch blocks exactly as the Oracle table transfer
// sends them, for the stand-in's tests.
#include <string>

namespace movrano::db {

// The blocks exactly as the table transfer sends them: eleven lines joined
// by CR LF.
inline std::string Block(const std::string& status, const std::string& order,
                         const std::string& verb) {
  return "BEGIN\r\n"
         "  FOR c IN\r\n"
         "  (SELECT c.owner, c.table_name, c.constraint_name\r\n"
         "   FROM user_constraints c, user_tables t\r\n"
         "   WHERE c.table_name = t.table_name\r\n"
         "   AND c.status = '" +
         status +
         "'\r\n"
         "   ORDER BY c.constraint_type" +
         order +
         ")\r\n"
         "  LOOP\r\n"
         "    dbms_utility.exec_ddl_statement('alter table \"' || c.owner || '\".\"' || "
         "c.table_name || '\" " +
         verb +
         " constraint ' || c.constraint_name);\r\n"
         "  END LOOP;\r\n"
         "END;";
}
inline const std::string kDisable = Block("ENABLED", " DESC", "disable");
inline const std::string kEnable = Block("DISABLED", "", "enable");

}  // namespace movrano::db
