#pragma once
// The two PL/SQL blocks that switch every constraint of an Oracle schema's
// tables off (foreign keys first) and on again (foreign keys last). The
// Oracle table transfer sends them; the stand-in driver runs exactly these
// texts and refuses any other block. Nothing here depends on the stand-in.

namespace movrano::db {

inline constexpr const char* kOracleDisableConstraintsBlock =
    "BEGIN\r\n"
    "  FOR c IN\r\n"
    "  (SELECT c.owner, c.table_name, c.constraint_name\r\n"
    "   FROM user_constraints c, user_tables t\r\n"
    "   WHERE c.table_name = t.table_name\r\n"
    "   AND c.status = 'ENABLED'\r\n"
    "   ORDER BY c.constraint_type DESC)\r\n"
    "  LOOP\r\n"
    "    dbms_utility.exec_ddl_statement('alter table \"' || c.owner || '\".\"' || c.table_name "
    "|| '\" disable constraint ' || c.constraint_name);\r\n"
    "  END LOOP;\r\n"
    "END;";

inline constexpr const char* kOracleEnableConstraintsBlock =
    "BEGIN\r\n"
    "  FOR c IN\r\n"
    "  (SELECT c.owner, c.table_name, c.constraint_name\r\n"
    "   FROM user_constraints c, user_tables t\r\n"
    "   WHERE c.table_name = t.table_name\r\n"
    "   AND c.status = 'DISABLED'\r\n"
    "   ORDER BY c.constraint_type)\r\n"
    "  LOOP\r\n"
    "    dbms_utility.exec_ddl_statement('alter table \"' || c.owner || '\".\"' || c.table_name "
    "|| '\" enable constraint ' || c.constraint_name);\r\n"
    "  END LOOP;\r\n"
    "END;";

}  // namespace movrano::db
