# Installs a build tree into a staging folder of its own and builds programs
# against the staged files only: with find_package, with pkg-config and, when
# the tree has the Qt host, a Qt program. Then runs them and an installed
# program, with nothing pointing at the build tree.
#
#   cmake -DBUILD_DIR=... -DWORK_DIR=... -DGENERATOR=... -DCXX_COMPILER=...
#         -DLIBDIR=lib -DWITH_QT=0|1 [-DMAKE_PROGRAM=...] [-DSANITIZE_FLAGS=...]
#         -P install_and_consume.cmake
cmake_minimum_required(VERSION 3.25)

foreach(var IN ITEMS BUILD_DIR WORK_DIR GENERATOR CXX_COMPILER LIBDIR WITH_QT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "install_and_consume.cmake needs -D${var}=...")
    endif()
endforeach()
set(here ${CMAKE_CURRENT_LIST_DIR})

# A fresh folder for every run, removed when the run passes.
string(RANDOM LENGTH 8 run_id)
set(run ${WORK_DIR}/run-${run_id})
set(stage ${run}/stage)
file(REMOVE_RECURSE ${run})
file(MAKE_DIRECTORY ${run})

function(step what)
    cmake_parse_arguments(arg "" "WORKING_DIRECTORY" "COMMAND;ENVIRONMENT" ${ARGN})
    message(STATUS "${what}")
    if(arg_ENVIRONMENT)
        set(command ${CMAKE_COMMAND} -E env ${arg_ENVIRONMENT} ${arg_COMMAND})
    else()
        set(command ${arg_COMMAND})
    endif()
    if(NOT arg_WORKING_DIRECTORY)
        set(arg_WORKING_DIRECTORY ${run})
    endif()
    execute_process(COMMAND ${command} WORKING_DIRECTORY ${arg_WORKING_DIRECTORY}
        RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${what}: failed (${result})\n${output}\n(files kept in ${run})")
    endif()
    set(step_output "${output}" PARENT_SCOPE)
endfunction()

function(expect_file path)
    if(NOT EXISTS ${stage}/${path})
        message(FATAL_ERROR "not installed: ${path}")
    endif()
endfunction()

step("install ${BUILD_DIR} into ${stage}"
    COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${stage})

# The files a consumer relies on, under the folders GNUInstallDirs names.
foreach(file IN ITEMS ${LIBDIR}/libquorvel.so ${LIBDIR}/libquorvel.so.2
        ${LIBDIR}/quorvel/Quorvel2000.so include/quorvel/control/quorvel2000.h
        include/quorvel/headless/site.h include/quorvel/platform/variant.h
        ${LIBDIR}/cmake/Quorvel/QuorvelConfig.cmake ${LIBDIR}/cmake/Quorvel/QuorvelConfigVersion.cmake
        ${LIBDIR}/cmake/Quorvel/QuorvelCoreTargets.cmake ${LIBDIR}/pkgconfig/quorvel.pc
        bin/quorvel-example)
    expect_file(${file})
endforeach()
file(READ ${stage}/${LIBDIR}/pkgconfig/quorvel.pc pc)
if(NOT pc MATCHES "prefix=${stage}\n")
    message(FATAL_ERROR "quorvel.pc does not name the prefix it is installed in:\n${pc}")
endif()

# Nothing of the build tree may leak in: no LD_LIBRARY_PATH, no package
# registry, only the staging folder to search.
set(clean_env --unset=LD_LIBRARY_PATH --unset=CMAKE_PREFIX_PATH --unset=PKG_CONFIG_PATH)
set(configure_args -G ${GENERATOR} -DCMAKE_BUILD_TYPE=Debug
    -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF)
if(MAKE_PROGRAM)
    list(APPEND configure_args -DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM})
endif()
if(SANITIZE_FLAGS)
    list(APPEND configure_args "-DCMAKE_CXX_FLAGS=${SANITIZE_FLAGS}"
        "-DCMAKE_EXE_LINKER_FLAGS=${SANITIZE_FLAGS}")
endif()

# The installed program finds its library by its RPATH.
step("run the installed quorvel-example"
    COMMAND ${stage}/bin/quorvel-example ENVIRONMENT ${clean_env})
if(NOT step_output MATCHES "BoundText = C004")
    message(FATAL_ERROR "quorvel-example did not choose C004:\n${step_output}")
endif()

# find_package(Quorvel 2.0 COMPONENTS Core)
step("configure the find_package consumer"
    COMMAND ${CMAKE_COMMAND} -S ${here}/consumer -B ${run}/consumer ${configure_args}
        -DCMAKE_PREFIX_PATH=${stage} -DQUORVEL_STAGE=${stage}
    ENVIRONMENT ${clean_env})
step("build the find_package consumer"
    COMMAND ${CMAKE_COMMAND} --build ${run}/consumer -j2)
step("run the find_package consumer"
    COMMAND ${run}/consumer/quorvel-consumer ${run} ${stage}/${LIBDIR}/quorvel/Quorvel2000.so
    ENVIRONMENT ${clean_env})
message(STATUS "${step_output}")

# pkg-config quorvel
step("configure the pkg-config consumer"
    COMMAND ${CMAKE_COMMAND} -S ${here}/consumer-pkgconfig -B ${run}/consumer-pkgconfig ${configure_args}
    ENVIRONMENT ${clean_env} PKG_CONFIG_PATH=${stage}/${LIBDIR}/pkgconfig)
step("build the pkg-config consumer"
    COMMAND ${CMAKE_COMMAND} --build ${run}/consumer-pkgconfig -j2)
file(READ ${run}/consumer-pkgconfig/module-path.txt module_path)
step("run the pkg-config consumer"
    COMMAND ${run}/consumer-pkgconfig/quorvel-pkgconfig-consumer ${run} ${module_path}
    ENVIRONMENT ${clean_env})
message(STATUS "${step_output}")

# find_package(Quorvel 2.0 COMPONENTS Core Qt) and pkg-config quorvel-qt
if(WITH_QT)
    foreach(file IN ITEMS ${LIBDIR}/cmake/Quorvel/QuorvelQtTargets.cmake
            ${LIBDIR}/pkgconfig/quorvel-qt.pc include/quorvel/qt/quorvel_widget.h)
        expect_file(${file})
    endforeach()
    step("configure the Qt consumer"
        COMMAND ${CMAKE_COMMAND} -S ${here}/consumer-qt -B ${run}/consumer-qt ${configure_args}
            -DCMAKE_PREFIX_PATH=${stage}
        ENVIRONMENT ${clean_env} PKG_CONFIG_PATH=${stage}/${LIBDIR}/pkgconfig)
    step("build the Qt consumer"
        COMMAND ${CMAKE_COMMAND} --build ${run}/consumer-qt -j2)
    step("run the Qt consumer offscreen"
        COMMAND ${run}/consumer-qt/quorvel-qt-consumer ${run}
        ENVIRONMENT ${clean_env} QT_QPA_PLATFORM=offscreen)
    message(STATUS "${step_output}")
endif()

file(REMOVE_RECURSE ${run})
