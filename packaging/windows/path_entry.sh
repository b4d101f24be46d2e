#!/usr/bin/env bash
# Adds to the installer that wixl built the system PATH entry that wixl
# cannot write (it has no <Environment>): an Environment table row that
# appends the install folder to PATH ("[~];" keeps what is there) and takes
# just that part off again on removal ("-"), for the whole machine ("*"),
# and the two standard actions that apply it.
set -euo pipefail
msi=${1:?usage: path_entry.sh KRESOVAR.MSI}
msibuild "$msi" \
    -q 'CREATE TABLE `Environment` (`Environment` CHAR(72) NOT NULL, `Name` CHAR(255) NOT NULL LOCALIZABLE,
        `Value` CHAR(255) LOCALIZABLE, `Component_` CHAR(72) NOT NULL PRIMARY KEY `Environment`)' \
    -q "INSERT INTO \`Environment\` (\`Environment\`, \`Name\`, \`Value\`, \`Component_\`)
        VALUES ('PathEntry', '=-*PATH', '[~];[INSTALLDIR]', 'FoldProgram')" \
    -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('RemoveEnvironmentStrings', 3300)" \
    -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('WriteEnvironmentStrings', 5200)"
