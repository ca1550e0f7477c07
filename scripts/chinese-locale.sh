# Sourced by run.sh and test.sh: the program speaks Chinese, so run it under a
# Chinese UTF-8 locale when the machine has one. Without one, C.UTF-8 keeps
# the character set UTF-8 and LANGUAGE still asks Qt for its Chinese texts.
if locale -a 2>/dev/null | grep -qiE '^zh_CN\.utf-?8$'; then
    export LANG=zh_CN.UTF-8
else
    export LANG=C.UTF-8 LANGUAGE=zh_CN
fi
unset LC_ALL
