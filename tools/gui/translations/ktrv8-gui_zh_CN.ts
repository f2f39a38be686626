<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>ConnectionBar</name>
    <message>
        <location filename="../connectionbar.cpp" line="15"/>
        <source>Cutter:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../connectionbar.cpp" line="21"/>
        <source>USB node or network address</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../connectionbar.cpp" line="22"/>
        <source>A USB device node (/dev/ttyACM0) or a network address (192.168.1.20 or HOST:PORT, port 9100 by default)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../connectionbar.cpp" line="24"/>
        <source>Find</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../connectionbar.cpp" line="26"/>
        <source>List the USB nodes a cutter may be on</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../connectionbar.cpp" line="28"/>
        <location filename="../connectionbar.cpp" line="83"/>
        <source>Connect</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../connectionbar.cpp" line="55"/>
        <source>Choose a USB node or type the cutter&apos;s network address</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../connectionbar.cpp" line="72"/>
        <source>The port must be a number from 1 to 65535</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../connectionbar.cpp" line="83"/>
        <source>Disconnect</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CutPanel</name>
    <message>
        <location filename="../cutpanel.cpp" line="21"/>
        <source>Start</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../cutpanel.cpp" line="23"/>
        <location filename="../cutpanel.cpp" line="76"/>
        <source>Pause</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../cutpanel.cpp" line="25"/>
        <source>Stop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../cutpanel.cpp" line="27"/>
        <source>Asks the cutter to stop and waits for its confirmation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../cutpanel.cpp" line="37"/>
        <source>No cut yet</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../cutpanel.cpp" line="76"/>
        <source>Resume</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../cutpanel.cpp" line="131"/>
        <source>Waiting for the cutter to scan a code (jobs in %1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../cutpanel.cpp" line="134"/>
        <source>Scanned %1: cutting %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../cutpanel.cpp" line="138"/>
        <source>Page %1 of copy %2 has taken %3x its estimate; still waiting</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../cutpanel.cpp" line="139"/>
        <source>Copy %1 has taken %2x its estimate; still waiting</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../cutpanel.cpp" line="143"/>
        <source>Stopping: waiting for the cutter to confirm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../cutpanel.cpp" line="151"/>
        <source>Preparing the job</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../cutpanel.cpp" line="159"/>
        <source>Cutting %1 page(s), %2 copy(ies); estimate %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../cutpanel.cpp" line="165"/>
        <source>Copy %1 of %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../cutpanel.cpp" line="167"/>
        <source>, waiting for the next scanned code</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../cutpanel.cpp" line="169"/>
        <source>, repeated by the cutter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../cutpanel.cpp" line="171"/>
        <source>, page %1 of %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../cutpanel.cpp" line="173"/>
        <source> (paused)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../cutpanel.cpp" line="177"/>
        <source>estimate %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../cutpanel.cpp" line="179"/>
        <source>about %1 left</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../cutpanel.cpp" line="188"/>
        <source>Paused on the cutter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../cutpanel.cpp" line="188"/>
        <source>Resumed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../cutpanel.cpp" line="199"/>
        <source>Finished</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../cutpanel.cpp" line="199"/>
        <source>Ended</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../cutpanel.cpp" line="204"/>
        <source>Done: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../cutpanel.cpp" line="204"/>
        <source>Not completed (code %1): %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>JobPanel</name>
    <message>
        <location filename="../jobpanel.cpp" line="24"/>
        <source>No job open: open a plotter file or a drawing, or drop one on the window</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../jobpanel.cpp" line="27"/>
        <source>Open…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../jobpanel.cpp" line="43"/>
        <source>Copies</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../jobpanel.cpp" line="44"/>
        <source>QR-code job: the cutter scans a code, the job is FOLDER/CODE.plt</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../jobpanel.cpp" line="50"/>
        <location filename="../jobpanel.cpp" line="83"/>
        <source>Folder of jobs by code</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../jobpanel.cpp" line="51"/>
        <source>Choose…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../jobpanel.cpp" line="54"/>
        <source>Jobs folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../jobpanel.cpp" line="73"/>
        <source>Open a job</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../jobpanel.cpp" line="74"/>
        <source>Jobs (*.plt *.hpgl *.svg);;All files (*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../jobpanel.cpp" line="101"/>
        <source>cannot read %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../jobpanel.cpp" line="107"/>
        <source>%1 holds no page to cut</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../jobpanel.cpp" line="112"/>
        <source>Opened %1: %2 page(s)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../jobpanel.cpp" line="123"/>
        <location filename="../jobpanel.cpp" line="125"/>
        <source>Refused: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <location filename="../mainwindow.cpp" line="33"/>
        <source>KT-RV8 cutter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../mainwindow.cpp" line="47"/>
        <source>Connection</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../mainwindow.cpp" line="60"/>
        <source>Job</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../mainwindow.cpp" line="61"/>
        <source>Settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../mainwindow.cpp" line="76"/>
        <source>Log</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../mainwindow.cpp" line="134"/>
        <source>Scanned QR code: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../mainwindow.cpp" line="157"/>
        <source>Connecting to %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../mainwindow.cpp" line="191"/>
        <source>Disconnected from %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../mainwindow.cpp" line="199"/>
        <source>Driver: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../mainwindow.cpp" line="211"/>
        <source>Driver: task record updated</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../mainwindow.cpp" line="211"/>
        <source>Driver: task %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../mainwindow.cpp" line="222"/>
        <source>No driver</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../mainwindow.cpp" line="226"/>
        <source>Connecting to %1…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../mainwindow.cpp" line="230"/>
        <source>Not connected</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../mainwindow.cpp" line="235"/>
        <source>disconnected</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../mainwindow.cpp" line="235"/>
        <source>idle</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../mainwindow.cpp" line="235"/>
        <source>ready</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../mainwindow.cpp" line="235"/>
        <source>paused</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../mainwindow.cpp" line="235"/>
        <source>warning</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../mainwindow.cpp" line="235"/>
        <source>error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../mainwindow.cpp" line="237"/>
        <source>Connected to %1 (%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../mainwindow.cpp" line="248"/>
        <source>cannot save the screenshot to %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SettingsPanel</name>
    <message>
        <location filename="../settingspanel.cpp" line="32"/>
        <source>Read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../settingspanel.cpp" line="34"/>
        <source>Read every setting from the cutter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../settingspanel.cpp" line="35"/>
        <source>Apply</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../settingspanel.cpp" line="37"/>
        <source>Write the changed settings, then read them back from the cutter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../settingspanel.cpp" line="96"/>
        <source>Settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../settingspanel.cpp" line="97"/>
        <source>Device</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../settingspanel.cpp" line="159"/>
        <source>no answer from the cutter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../settingspanel.cpp" line="162"/>
        <source>Settings: the cutter did not answer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../settingspanel.cpp" line="164"/>
        <source>Settings read; no value for %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../settingspanel.cpp" line="166"/>
        <source>Settings read from the cutter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../settingspanel.cpp" line="190"/>
        <source>Settings: nothing changed to apply</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../settingspanel.cpp" line="203"/>
        <source>not confirmed: no answer from the cutter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../settingspanel.cpp" line="206"/>
        <source>refused: the cutter keeps %1 (asked %2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../settingspanel.cpp" line="212"/>
        <source>Settings applied: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../settingspanel.cpp" line="214"/>
        <source>Settings not taken by the cutter: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
