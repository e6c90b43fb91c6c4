# What `cmake --install` puts under the prefix, and the package a consumer
# finds there:
#
#   <libdir>/libquorvel.so.2             Quorvel::Core: platform, engine, control, host core, headless host
#   <libdir>/libquorvel-qt.so.2          Quorvel::Qt: the Qt 6 Widgets host (when it is built)
#   <libdir>/quorvel/Quorvel2000.so      the component-server module (Quorvel::Module)
#   <Qt plugins>/designer/libquorvel-designer.so   Qt Designer's plugin (when it is built)
#   <includedir>/quorvel/<layer>/*.h     the headers, included as "control/quorvel2000.h"
#   <libdir>/cmake/Quorvel/              QuorvelConfig.cmake, version file, export files
#   <libdir>/pkgconfig/quorvel.pc        and quorvel-qt.pc
#   <bindir>/quorvel-*                   the programs
#
# Everything is placed by GNUInstallDirs; the libraries, the module and the
# programs find each other through RPATHs relative to their own folder, so an
# installed tree works wherever it is put.
include(CMakePackageConfigHelpers)

set(QUORVEL_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Quorvel
    CACHE STRING "Where the CMake package files are installed, under the prefix")
set(QUORVEL_INSTALL_MODULEDIR ${CMAKE_INSTALL_LIBDIR}/quorvel
    CACHE STRING "Where the component-server module is installed, under the prefix")

# The public headers, the API a program includes (the README lists them);
# what they include is installed with them.
set(QUORVEL_CORE_PUBLIC_HEADERS
    control/quorvel2000.h control/events.h control/dispatch.h control/interface_description.h
    platform/variant.h platform/failure.h platform/locale.h platform/text.h
    engine/data_engine.h
    headless/site.h headless/json_property_bag.h)
set(QUORVEL_QT_PUBLIC_HEADERS qt/quorvel_widget.h qt/site.h)
# The programs, installed as soon as their targets exist.
set(QUORVEL_PROGRAMS quorvel-example quorvel-run quorvel-demo)

# An RPATH entry that leads from the installed folder `from` (a path under the
# prefix, such as ${CMAKE_INSTALL_BINDIR}) to the library folder.
function(quorvel_rpath_to_libdir out from)
    set(from_dir ${from})
    set(lib_dir ${CMAKE_INSTALL_LIBDIR})
    foreach(var IN ITEMS from_dir lib_dir)
        if(NOT IS_ABSOLUTE "${${var}}")
            set(${var} ${CMAKE_INSTALL_PREFIX}/${${var}})
        endif()
    endforeach()
    file(RELATIVE_PATH relative ${from_dir} ${lib_dir})
    if(relative STREQUAL "")
        set(${out} "$ORIGIN" PARENT_SCOPE)
    else()
        string(REGEX REPLACE "/$" "" relative "${relative}")
        set(${out} "$ORIGIN/${relative}" PARENT_SCOPE)
    endif()
endfunction()

# The headers of src/ that the given public headers need, themselves
# included: an installed header always compiles, and nothing else of the
# tree is installed.
function(quorvel_header_closure out)
    foreach(header IN LISTS ARGN)
        if(NOT EXISTS ${PROJECT_SOURCE_DIR}/src/${header})
            message(FATAL_ERROR "The public header ${header} is not in src/")
        endif()
    endforeach()
    set(pending ${ARGN})
    set(found)
    while(pending)
        list(POP_FRONT pending header)
        if(header IN_LIST found OR NOT EXISTS ${PROJECT_SOURCE_DIR}/src/${header})
            continue()
        endif()
        list(APPEND found ${header})
        file(STRINGS ${PROJECT_SOURCE_DIR}/src/${header} lines REGEX "^#include \"[^\"]+\"")
        foreach(line IN LISTS lines)
            string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" included "${line}")
            list(APPEND pending ${included})
        endforeach()
    endwhile()
    set(${out} ${found} PARENT_SCOPE)
endfunction()

# Installs headers given from src/ (as "control/quorvel2000.h") as
# include/quorvel/control/quorvel2000.h.
function(quorvel_install_headers component)
    foreach(header IN LISTS ARGN)
        get_filename_component(dir ${header} DIRECTORY)
        install(FILES ${PROJECT_SOURCE_DIR}/src/${header}
            DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quorvel/${dir}
            COMPONENT ${component})
    endforeach()
endfunction()

# A target's include directories that name folders of this tree are used
# only while building it; the installed package gives the installed headers.
function(quorvel_build_tree_includes target)
    get_target_property(dirs ${target} INTERFACE_INCLUDE_DIRECTORIES)
    if(NOT dirs)
        return()
    endif()
    set(kept)
    foreach(dir IN LISTS dirs)
        if(NOT dir MATCHES "^\\$<" AND IS_ABSOLUTE "${dir}"
           AND (dir MATCHES "^${PROJECT_SOURCE_DIR}(/|$)" OR dir MATCHES "^${PROJECT_BINARY_DIR}(/|$)"))
            list(APPEND kept "$<BUILD_INTERFACE:${dir}>")
        else()
            list(APPEND kept "${dir}")
        endif()
    endforeach()
    set_property(TARGET ${target} PROPERTY INTERFACE_INCLUDE_DIRECTORIES "${kept}")
endfunction()

# Writes a pkg-config file at install time, so that its prefix is the one the
# tree is installed into (`cmake --install --prefix`), not the configured one.
function(quorvel_install_pkgconfig name component target)
    set(template ${PROJECT_SOURCE_DIR}/cmake/${name}.pc.in)
    set(staged ${PROJECT_BINARY_DIR}/pkgconfig/${name}.pc.in)
    configure_file(${template} ${staged} COPYONLY)
    set(dir_LIBDIR ${CMAKE_INSTALL_LIBDIR})
    set(dir_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR})
    set(dir_MODULEDIR ${QUORVEL_INSTALL_MODULEDIR})
    foreach(kind IN ITEMS LIBDIR INCLUDEDIR MODULEDIR)
        if(IS_ABSOLUTE "${dir_${kind}}")
            set(pc_${kind} "${dir_${kind}}")
        elseif(kind STREQUAL "INCLUDEDIR")
            set(pc_${kind} "\\\${prefix}/${dir_${kind}}")
        else()
            set(pc_${kind} "\\\${exec_prefix}/${dir_${kind}}")
        endif()
    endforeach()
    if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
        set(destination "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
    else()
        set(destination "\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig")
    endif()
    install(CODE "
        set(QUORVEL_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
        set(QUORVEL_PC_LIBDIR \"${pc_LIBDIR}\")
        set(QUORVEL_PC_INCLUDEDIR \"${pc_INCLUDEDIR}\")
        set(QUORVEL_PC_MODULEDIR \"${pc_MODULEDIR}\")
        set(QUORVEL_VERSION \"${PROJECT_VERSION}\")
        set(QUORVEL_DESCRIPTION \"${PROJECT_DESCRIPTION}\")
        set(QUORVEL_PC_LIBRARY \"$<TARGET_FILE_BASE_NAME:${target}>\")
        configure_file(\"${staged}\" \"${PROJECT_BINARY_DIR}/pkgconfig/${name}.pc\" @ONLY)
        file(INSTALL \"${PROJECT_BINARY_DIR}/pkgconfig/${name}.pc\" DESTINATION \"${destination}\")
        " COMPONENT ${component})
endfunction()

# Called once at the end of the top directory, when every target is made.
function(quorvel_install)
    set(components Core)

    # Core: the shared library, its headers and the module.
    set_target_properties(quorvel PROPERTIES INSTALL_RPATH "$ORIGIN")
    install(TARGETS quorvel EXPORT QuorvelCoreTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Core NAMELINK_COMPONENT Core
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Core
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Core)
    quorvel_header_closure(core_headers ${QUORVEL_CORE_PUBLIC_HEADERS})
    quorvel_install_headers(Core ${core_headers})
    # The module's interface as a host that loads it sees it.
    install(FILES ${PROJECT_SOURCE_DIR}/src/server/component.h
        ${PROJECT_SOURCE_DIR}/src/server/module_exports.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quorvel/server COMPONENT Core)

    if(TARGET quorvel_module)
        quorvel_rpath_to_libdir(module_rpath ${QUORVEL_INSTALL_MODULEDIR})
        set_target_properties(quorvel_module PROPERTIES
            EXPORT_NAME Module INSTALL_RPATH "${module_rpath}")
        install(TARGETS quorvel_module EXPORT QuorvelCoreTargets
            LIBRARY DESTINATION ${QUORVEL_INSTALL_MODULEDIR} COMPONENT Core)
    endif()

    # Qt: the Qt host library, when the tree builds it.
    if(TARGET quorvel_qt)
        get_target_property(qt_type quorvel_qt TYPE)
        if(NOT qt_type STREQUAL "SHARED_LIBRARY")
            message(FATAL_ERROR "quorvel_qt must be a shared library to be installed (it is ${qt_type})")
        endif()
        get_target_property(qt_output quorvel_qt OUTPUT_NAME)
        if(NOT qt_output)
            set_target_properties(quorvel_qt PROPERTIES OUTPUT_NAME quorvel-qt)
        endif()
        set_target_properties(quorvel_qt PROPERTIES
            EXPORT_NAME Qt
            VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}
            SOVERSION ${PROJECT_VERSION_MAJOR}
            INSTALL_RPATH "$ORIGIN")
        quorvel_build_tree_includes(quorvel_qt)
        install(TARGETS quorvel_qt EXPORT QuorvelQtTargets
            LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Qt NAMELINK_COMPONENT Qt
            RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Qt)
        quorvel_header_closure(qt_headers ${QUORVEL_QT_PUBLIC_HEADERS})
        list(REMOVE_ITEM qt_headers ${core_headers})
        quorvel_install_headers(Qt ${qt_headers})
        list(APPEND components Qt)
    endif()

    # Qt Designer's plugin, in Qt's designer plugin folder.
    if(TARGET quorvel_designer)
        quorvel_rpath_to_libdir(designer_rpath ${QUORVEL_INSTALL_DESIGNERDIR})
        set_target_properties(quorvel_designer PROPERTIES INSTALL_RPATH "${designer_rpath}")
        install(TARGETS quorvel_designer LIBRARY DESTINATION ${QUORVEL_INSTALL_DESIGNERDIR} COMPONENT Designer)
    endif()

    # The programs find the libraries from the folder they are installed in.
    quorvel_rpath_to_libdir(program_rpath ${CMAKE_INSTALL_BINDIR})
    foreach(program IN LISTS QUORVEL_PROGRAMS)
        if(TARGET ${program})
            set_target_properties(${program} PROPERTIES INSTALL_RPATH "${program_rpath}")
            install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Programs)
        endif()
    endforeach()

    # The CMake package: one export file per component.
    foreach(component IN LISTS components)
        install(EXPORT Quorvel${component}Targets
            NAMESPACE Quorvel::
            FILE Quorvel${component}Targets.cmake
            DESTINATION ${QUORVEL_INSTALL_CMAKEDIR}
            COMPONENT ${component})
    endforeach()
    configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/QuorvelConfig.cmake.in
        ${PROJECT_BINARY_DIR}/package/QuorvelConfig.cmake
        INSTALL_DESTINATION ${QUORVEL_INSTALL_CMAKEDIR})
    write_basic_package_version_file(${PROJECT_BINARY_DIR}/package/QuorvelConfigVersion.cmake
        VERSION ${PROJECT_VERSION}
        COMPATIBILITY SameMajorVersion)
    install(FILES ${PROJECT_BINARY_DIR}/package/QuorvelConfig.cmake
        ${PROJECT_BINARY_DIR}/package/QuorvelConfigVersion.cmake
        DESTINATION ${QUORVEL_INSTALL_CMAKEDIR}
        COMPONENT Core)

    # pkg-config: quorvel, and quorvel-qt beside it.
    quorvel_install_pkgconfig(quorvel Core quorvel)
    if(TARGET quorvel_qt)
        quorvel_install_pkgconfig(quorvel-qt Qt quorvel_qt)
    endif()
endfunction()
