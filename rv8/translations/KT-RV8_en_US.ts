<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>KTCommonInterface</name>
    <message>
        <location filename="../../link/ktcommoninterface.cpp" line="75"/>
        <source>USB 地址</source>
        <translation>USB address</translation>
    </message>
    <message>
        <location filename="../../link/ktcommoninterface.cpp" line="82"/>
        <source>IP 地址</source>
        <translation>IP address</translation>
    </message>
    <message>
        <location filename="../../link/replydecoding.cpp" line="164"/>
        <source>当前任务</source>
        <translation>Current task</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="41"/>
        <location filename="../../panels/family437.cpp" line="30"/>
        <source>状态</source>
        <translation>Status</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="42"/>
        <location filename="../../panels/family437.cpp" line="32"/>
        <source>端口</source>
        <translation>Port</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="43"/>
        <location filename="../../panels/family437.cpp" line="44"/>
        <source>连接方式</source>
        <translation>Connection</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="44"/>
        <location filename="../../panels/family157.cpp" line="46"/>
        <location filename="../../panels/family437.cpp" line="37"/>
        <source>份数</source>
        <translation>Copies</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="44"/>
        <location filename="../../panels/family157.cpp" line="46"/>
        <location filename="../../panels/family437.cpp" line="37"/>
        <source>份</source>
        <translation>copies</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="45"/>
        <location filename="../../panels/family437.cpp" line="36"/>
        <source>二维码文件</source>
        <translation>QR code file</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="47"/>
        <source>plt</source>
        <translation>PLT job</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="48"/>
        <location filename="../../panels/family437.cpp" line="39"/>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="49"/>
        <location filename="../../panels/family437.cpp" line="40"/>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="50"/>
        <location filename="../../panels/family437.cpp" line="41"/>
        <source>继续</source>
        <translation>Resume</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="51"/>
        <source>QR PLT</source>
        <translation>QR PLT job</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="52"/>
        <source>设原点</source>
        <translation>Set origin</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="53"/>
        <source>回原点</source>
        <translation>Return to origin</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="54"/>
        <location filename="../../panels/family437.cpp" line="42"/>
        <source>任务模式</source>
        <translation>Task mode</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="56"/>
        <source>心跳</source>
        <translation>Heartbeat</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="56"/>
        <source>秒</source>
        <translation>s</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="57"/>
        <location filename="../../panels/family437.cpp" line="33"/>
        <source>预览</source>
        <translation>Preview</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="58"/>
        <location filename="../../panels/family437.cpp" line="34"/>
        <source>工作文件</source>
        <translation>Work file</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="59"/>
        <location filename="../../panels/family437.cpp" line="46"/>
        <source>切割质量</source>
        <translation>Cut quality</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="61"/>
        <location filename="../../panels/family437.cpp" line="48"/>
        <source>   速度优先</source>
        <translation>   Speed first</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="62"/>
        <location filename="../../panels/family437.cpp" line="48"/>
        <source>   平衡</source>
        <translation>   Balanced</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="63"/>
        <location filename="../../panels/family437.cpp" line="48"/>
        <source>   精度优先</source>
        <translation>   Precision first</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="64"/>
        <source>PU 速度</source>
        <translation>Pen-up speed</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="66"/>
        <location filename="../../panels/family437.cpp" line="45"/>
        <source>数据上传</source>
        <translation>Data upload</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="78"/>
        <location filename="../../panels/family437.cpp" line="57"/>
        <source>固件版本</source>
        <translation>Firmware version</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="79"/>
        <location filename="../../panels/family437.cpp" line="58"/>
        <source>机器编号</source>
        <translation>Machine number</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="80"/>
        <location filename="../../panels/family437.cpp" line="59"/>
        <source>PCB编号</source>
        <translation>PCB number</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="81"/>
        <location filename="../../panels/family437.cpp" line="60"/>
        <source>PCB版本</source>
        <translation>PCB version</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="82"/>
        <source>配置号</source>
        <translation>Configuration number</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="83"/>
        <source>Unique ID</source>
        <translation>Unique ID</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="84"/>
        <source>型号</source>
        <translation>Model</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="85"/>
        <source>机器信息</source>
        <translation>Machine information</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="35"/>
        <source>自动送料</source>
        <translation>Automatic feed</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="37"/>
        <source>   关</source>
        <translation>   Off</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="38"/>
        <source>   开</source>
        <translation>   On</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="39"/>
        <source>送料模式</source>
        <translation>Feed mode</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="41"/>
        <source>   同步送料</source>
        <translation>   Synchronous feed</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="42"/>
        <source>   异步送料</source>
        <translation>   Asynchronous feed</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="43"/>
        <source>送料距离</source>
        <translation>Feed distance</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="44"/>
        <source>横梁中心距离</source>
        <translation>Beam centre distance</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="45"/>
        <source>气泵延时</source>
        <translation>Air pump delay</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="47"/>
        <source>送料速度</source>
        <translation>Feed speed</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="48"/>
        <source>送料</source>
        <translation>Feed</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="58"/>
        <location filename="../../panels/family157groups.cpp" line="78"/>
        <source>工具类型</source>
        <translation>Tool type</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="60"/>
        <source>  拖刀</source>
        <translation>  Drag knife</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="61"/>
        <source>  转刀</source>
        <translation>  Rotary knife</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="62"/>
        <location filename="../../panels/family157groups.cpp" line="76"/>
        <source>速度</source>
        <translation>Speed</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="63"/>
        <location filename="../../panels/family157groups.cpp" line="77"/>
        <source>压力</source>
        <translation>Pressure</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="64"/>
        <location filename="../../panels/family157groups.cpp" line="82"/>
        <source>转刀校准</source>
        <translation>Rotary knife calibration</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="65"/>
        <source>SP1</source>
        <translation>SP1</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="80"/>
        <source>拖刀</source>
        <translation>Drag knife</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="81"/>
        <source>转刀</source>
        <translation>Rotary knife</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="83"/>
        <source>SP2</source>
        <translation>SP2</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="94"/>
        <location filename="../../panels/family157groups.cpp" line="107"/>
        <location filename="../../panels/family157groups.cpp" line="120"/>
        <location filename="../../panels/family157groups.cpp" line="132"/>
        <location filename="../../panels/family437.cpp" line="70"/>
        <location filename="../../panels/family437.cpp" line="84"/>
        <location filename="../../panels/family437.cpp" line="96"/>
        <source>x</source>
        <translation>x</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="95"/>
        <location filename="../../panels/family157groups.cpp" line="108"/>
        <location filename="../../panels/family157groups.cpp" line="121"/>
        <location filename="../../panels/family157groups.cpp" line="133"/>
        <location filename="../../panels/family437.cpp" line="71"/>
        <location filename="../../panels/family437.cpp" line="85"/>
        <location filename="../../panels/family437.cpp" line="97"/>
        <source>y</source>
        <translation>y</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="96"/>
        <source>工具偏移</source>
        <translation>Tool offset</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="109"/>
        <location filename="../../panels/family437.cpp" line="72"/>
        <source>摄像头偏移</source>
        <translation>Camera offset</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="111"/>
        <source>出厂设置</source>
        <translation>Factory settings</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="122"/>
        <location filename="../../panels/family437.cpp" line="86"/>
        <source>缩放</source>
        <translation>Scale</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="134"/>
        <location filename="../../panels/family437.cpp" line="98"/>
        <source>幅宽</source>
        <translation>Working width</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="145"/>
        <source>X 移动</source>
        <translation>Move X</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="146"/>
        <source>Y 移动</source>
        <translation>Move Y</translation>
    </message>
    <message>
        <location filename="../../panels/family437.cpp" line="31"/>
        <source>电机状态</source>
        <translation>Motor status</translation>
    </message>
    <message>
        <location filename="../../panels/family437.cpp" line="35"/>
        <source>获取二维码</source>
        <translation>Get QR code</translation>
    </message>
    <message>
        <location filename="../../panels/family437.cpp" line="38"/>
        <source>pplt</source>
        <translation>PPLT job</translation>
    </message>
</context>
<context>
    <name>KTDeviceInterface</name>
    <message>
        <location filename="../../interface/ktdeviceinterface.cpp" line="22"/>
        <source>USB</source>
        <translation>USB</translation>
    </message>
    <message>
        <location filename="../../interface/ktdeviceinterface.cpp" line="24"/>
        <source>TCP</source>
        <translation>TCP</translation>
    </message>
</context>
<context>
    <name>KTRV8</name>
    <message>
        <location filename="../ktrv8.cpp" line="39"/>
        <location filename="../ktrv8.cpp" line="66"/>
        <source>x</source>
        <translation>x</translation>
    </message>
    <message>
        <location filename="../ktrv8.cpp" line="41"/>
        <location filename="../ktrv8.cpp" line="68"/>
        <source>y</source>
        <translation>y</translation>
    </message>
    <message>
        <location filename="../ktrv8.cpp" line="43"/>
        <source>缩放</source>
        <translation>Scale</translation>
    </message>
    <message>
        <location filename="../ktrv8.cpp" line="53"/>
        <source>当前任务</source>
        <translation>Current task</translation>
    </message>
    <message>
        <location filename="../ktrv8.cpp" line="70"/>
        <source>摄像头偏移</source>
        <translation>Camera offset</translation>
    </message>
    <message>
        <location filename="../ktrv8.cpp" line="73"/>
        <source>速度</source>
        <translation>Speed</translation>
    </message>
    <message>
        <location filename="../ktrv8.cpp" line="75"/>
        <source>单张多份间隔</source>
        <translation>Spacing between copies</translation>
    </message>
    <message>
        <location filename="../ktrv8.cpp" line="77"/>
        <source>压力</source>
        <translation>Pressure</translation>
    </message>
    <message>
        <location filename="../ktrv8.cpp" line="85"/>
        <source>迷你刻字机</source>
        <translation>Mini lettering cutter</translation>
    </message>
    <message>
        <location filename="../ktrv8.cpp" line="88"/>
        <source>型号</source>
        <translation>Model</translation>
    </message>
    <message>
        <location filename="../ktrv8.cpp" line="90"/>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <location filename="../ktrv8.cpp" line="92"/>
        <source>移动</source>
        <translation>Move</translation>
    </message>
    <message>
        <location filename="../ktrv8.cpp" line="94"/>
        <source>重复上次</source>
        <translation>Repeat last job</translation>
    </message>
    <message>
        <location filename="../ktrv8.cpp" line="96"/>
        <source>设置WIFI</source>
        <translation>Set Wi-Fi</translation>
    </message>
    <message>
        <location filename="../ktrv8.cpp" line="98"/>
        <source>设置标记点类型</source>
        <translation>Set registration mark type</translation>
    </message>
</context>
</TS>
