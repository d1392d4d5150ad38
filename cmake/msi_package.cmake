# Makes the Windows Installer package (tally-<version>-x64.msi or -x86.msi) out of the files
# CPack has staged for the zip, with wixl and msibuild (msitools). CPack's External generator
# runs this script (cmake/packaging.cmake), so the MSI installs exactly what the zip holds.
#
# What it installs, per machine (ALLUSERS=1, so that "msiexec /i ... /qn" needs no answer):
#   Program Files\TALLY (the x86 package: Program Files (x86) on 64-bit Windows): the files;
#   Start menu folder "TALLY": the clear runs through COM1 and COM2, the check of a goods file
#   (TALLY.EXE /t) and the guide;
#   the common desktop: "Загрузить товары на кассу", TALLY.EXE for a goods file to be dropped on,
#   and "Проверить файл товаров", the same with /t: the file is checked, nothing is sent.
# The program's shortcuts pass /i: clicked with no file dropped on it, the upload and the check
# ask for the file in the Open dialog (Windows 10 and 11 take no drops on a Start-menu entry),
# and a clear asks Да or Нет before it opens the port. They start the program in its own
# folder (the Open dialog never starts there: the program sees to that).
# Programs and Features shows the version and the publisher. Both packages share one upgrade
# code: a later package (either of them, or the same version built again) replaces the one
# installed, so a machine never holds two sets of shortcuts.

set(stage ${CPACK_TEMPORARY_DIRECTORY})
set(arch ${CPACK_TALLY_MSI_ARCH})
set(msi_name tally-${CPACK_PACKAGE_VERSION}-${arch}.msi)
set(work ${CPACK_TOPLEVEL_DIRECTORY}/msi-${arch})
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})

# wixl takes the files by paths relative to the .wxs.
file(RELATIVE_PATH stage_from_work ${work} ${stage})
file(COPY ${CPACK_TALLY_MSI_ICON} DESTINATION ${work})
get_filename_component(icon ${CPACK_TALLY_MSI_ICON} NAME)

find_program(wixl wixl REQUIRED)
find_program(msibuild msibuild REQUIRED)

if(arch STREQUAL x64)
  set(program_files ProgramFiles64Folder)
  set(win64 yes)
else()
  set(program_files ProgramFilesFolder)
  set(win64 no)
endif()

# The shortcuts' components have a registry value as their key, the same in both packages:
# their component codes are made per architecture, as a 32-bit and a 64-bit component must
# not share one.
foreach(component StartMenu Desktop)
  string(UUID ${component}_guid NAMESPACE ${CPACK_TALLY_MSI_UPGRADE_CODE} NAME ${arch}/${component}
         TYPE SHA1 UPPER)
endforeach()

# The guide the shortcut opens: the HTML guide where the build makes one, else the text.
if(EXISTS ${stage}/guide-ru.html)
  set(guide_file guide-ru.html)
else()
  set(guide_file README-ru.txt)
endif()

# An identifier for the MSI tables out of a path: letters, digits and '_' only.
function(msi_id path out)
  string(MAKE_C_IDENTIFIER "${path}" id)
  set(${out} f_${id} PARENT_SCOPE)
endfunction()

# One component per file, each in the directory element of its folder; TALLY.EXE and the
# guide get names the shortcuts can point at.
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${stage} ${stage}/*)
list(SORT files)
set(components "")
set(component_refs "")
set(folders "")
foreach(file IN LISTS files)
  get_filename_component(folder "${file}" DIRECTORY)
  get_filename_component(name "${file}" NAME)
  if(file STREQUAL TALLY.EXE)
    set(id TallyExe)
  elseif(file STREQUAL guide_file)
    set(id Guide)
  else()
    msi_id("${file}" id)
  endif()
  set(element "<Component Id=\"${id}\" Guid=\"*\" Win64=\"${win64}\"><File Id=\"${id}\" Name=\"${name}\" Source=\"${stage_from_work}/${file}\" KeyPath=\"yes\"/></Component>")
  if(folder STREQUAL "")
    string(APPEND components "${element}\n")
  else()
    list(APPEND folders "${folder}")
    msi_id("${folder}" folder_id)
    string(APPEND folder_components_${folder_id} "${element}\n")
  endif()
  string(APPEND component_refs "      <ComponentRef Id=\"${id}\"/>\n")
endforeach()
# Sub-folders one level deep (examples\), which is all the packages hold.
list(REMOVE_DUPLICATES folders)
foreach(folder IN LISTS folders)
  if(folder MATCHES "/")
    message(FATAL_ERROR "msi_package.cmake: nested folder ${folder} is not handled")
  endif()
  msi_id("${folder}" folder_id)
  string(APPEND components
         "<Directory Id=\"${folder_id}\" Name=\"${folder}\">\n${folder_components_${folder_id}}</Directory>\n")
endforeach()

# wixl 0.101 writes no name for a shortcut whose name is not ASCII: the shortcuts get
# placeholders here, and their real names (short|long, as the Shortcut table keeps them) are
# written into the package afterwards.
set(shortcut_names
    ClearCom1 "CLEAR1~1.LNK|Очистить базу кассы (COM1)"
    ClearCom2 "CLEAR2~1.LNK|Очистить базу кассы (COM2)"
    GuideLink "GUIDE~1.LNK|Руководство пользователя TALLY"
    CheckMenu "CHECK~1.LNK|Проверить файл товаров"
    Upload "UPLOAD~1.LNK|Загрузить товары на кассу"
    CheckDesktop "CHECK~1.LNK|Проверить файл товаров")

file(WRITE ${work}/tally.wxs "<?xml version=\"1.0\" encoding=\"utf-8\"?>
<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">
  <Product Id=\"*\" Name=\"TALLY\" Version=\"${CPACK_PACKAGE_VERSION}\"
           Manufacturer=\"${CPACK_PACKAGE_VENDOR}\" Language=\"1049\"
           UpgradeCode=\"${CPACK_TALLY_MSI_UPGRADE_CODE}\">
    <Package InstallerVersion=\"200\" Compressed=\"yes\" InstallScope=\"perMachine\"
             Description=\"TALLY ${CPACK_PACKAGE_VERSION}\" Manufacturer=\"${CPACK_PACKAGE_VENDOR}\"/>
    <Media Id=\"1\" Cabinet=\"tally.cab\" EmbedCab=\"yes\"/>
    <MajorUpgrade DowngradeErrorMessage=\"placeholder\"/>
    <Icon Id=\"tally.ico\" SourceFile=\"${icon}\"/>
    <Property Id=\"ARPPRODUCTICON\" Value=\"tally.ico\"/>
    <Property Id=\"ARPNOMODIFY\" Value=\"1\"/>
    <Directory Id=\"TARGETDIR\" Name=\"SourceDir\">
      <Directory Id=\"${program_files}\">
        <Directory Id=\"INSTALLDIR\" Name=\"TALLY\">
${components}        </Directory>
      </Directory>
      <Directory Id=\"ProgramMenuFolder\">
        <Directory Id=\"ProgramMenuDir\" Name=\"TALLY\">
          <Component Id=\"StartMenu\" Guid=\"${StartMenu_guid}\" Win64=\"${win64}\">
            <Shortcut Id=\"ClearCom1\" Name=\"ClearCom1\" Target=\"[#TallyExe]\" Arguments=\"/e /i\" WorkingDirectory=\"INSTALLDIR\"/>
            <Shortcut Id=\"ClearCom2\" Name=\"ClearCom2\" Target=\"[#TallyExe]\" Arguments=\"/e /2 /i\" WorkingDirectory=\"INSTALLDIR\"/>
            <Shortcut Id=\"CheckMenu\" Name=\"CheckMenu\" Target=\"[#TallyExe]\" Arguments=\"/t /i\" WorkingDirectory=\"INSTALLDIR\"/>
            <Shortcut Id=\"GuideLink\" Name=\"GuideLink\" Target=\"[#Guide]\" WorkingDirectory=\"INSTALLDIR\"/>
            <RemoveFolder Id=\"RemoveProgramMenuDir\" On=\"uninstall\"/>
            <RegistryValue Root=\"HKLM\" Key=\"Software\\TALLY\" Name=\"InstallDir\" Type=\"string\" Value=\"[INSTALLDIR]\" KeyPath=\"yes\"/>
          </Component>
        </Directory>
      </Directory>
      <Directory Id=\"DesktopFolder\">
        <Component Id=\"Desktop\" Guid=\"${Desktop_guid}\" Win64=\"${win64}\">
          <Shortcut Id=\"Upload\" Name=\"Upload\" Target=\"[#TallyExe]\" Arguments=\"/i\" WorkingDirectory=\"INSTALLDIR\"/>
          <Shortcut Id=\"CheckDesktop\" Name=\"CheckDesktop\" Target=\"[#TallyExe]\" Arguments=\"/t /i\" WorkingDirectory=\"INSTALLDIR\"/>
          <RegistryValue Root=\"HKLM\" Key=\"Software\\TALLY\" Name=\"DesktopShortcut\" Type=\"integer\" Value=\"1\" KeyPath=\"yes\"/>
        </Component>
      </Directory>
    </Directory>
    <Feature Id=\"Complete\" Title=\"TALLY\" Level=\"1\">
${component_refs}      <ComponentRef Id=\"StartMenu\"/>
      <ComponentRef Id=\"Desktop\"/>
    </Feature>
  </Product>
</Wix>
")

set(msi ${work}/${msi_name})
execute_process(COMMAND ${wixl} --arch ${arch} -o ${msi} ${work}/tally.wxs
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "wixl failed on ${work}/tally.wxs")
endif()

# The texts that are not ASCII. The database first gets the Windows-1251 code page, which
# holds them (msibuild stores a text in the database's code page, and wixl leaves it neutral).
# Then the shortcuts' names and the message shown when a later version is installed. And the
# upgrade also takes an installed package of the same version (the other architecture, or a
# rebuild), with the maximum version inclusive (msidbUpgradeAttributesVersionMaxInclusive,
# 512, beside MigrateFeatures, 1), as WiX's AllowSameVersionUpgrades would have it.
string(TOUPPER ${CPACK_TALLY_MSI_UPGRADE_CODE} upgrade_code)
file(WRITE ${work}/_ForceCodepage.idt "\r\n\r\n1251\t_ForceCodepage\r\n")
execute_process(COMMAND ${msibuild} ${msi} -i _ForceCodepage.idt WORKING_DIRECTORY ${work}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "msibuild could not set the code page of ${msi}")
endif()
set(queries
    "UPDATE `LaunchCondition` SET `Description` = 'Уже установлена более новая версия TALLY.' WHERE `Condition` = 'NOT WIX_DOWNGRADE_DETECTED'"
    # Attributes is part of the Upgrade table's key: the row is replaced, not updated.
    "DELETE FROM `Upgrade` WHERE `ActionProperty` = 'WIX_UPGRADE_DETECTED'"
    "INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMax`, `Attributes`, `ActionProperty`) VALUES ('{${upgrade_code}}', '${CPACK_PACKAGE_VERSION}', 513, 'WIX_UPGRADE_DETECTED')")
while(shortcut_names)
  list(POP_FRONT shortcut_names key name)
  list(APPEND queries "UPDATE `Shortcut` SET `Name` = '${name}' WHERE `Shortcut` = '${key}'")
endwhile()
foreach(query IN LISTS queries)
  execute_process(COMMAND ${msibuild} ${msi} -q "${query}" RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "msibuild failed on ${msi}: ${query}")
  endif()
endforeach()

file(COPY ${msi} DESTINATION ${CPACK_PACKAGE_DIRECTORY})
set(CPACK_EXTERNAL_BUILT_PACKAGES ${CPACK_PACKAGE_DIRECTORY}/${msi_name})
