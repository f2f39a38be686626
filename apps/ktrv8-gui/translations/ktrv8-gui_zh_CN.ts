<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en_US">
<context>
    <name>ConnectionBar</name>
    <message>
        <source>Cutter:</source>
        <translation>刻字机:</translation>
    </message>
    <message>
        <source>USB node or network address</source>
        <translation>USB 节点或网络地址</translation>
    </message>
    <message>
        <source>A USB device node (/dev/ttyACM0) or a network address (192.168.1.20 or HOST:PORT, port 9100 by default)</source>
        <translation>USB 设备节点 (/dev/ttyACM0) 或网络地址 (192.168.1.20 或 HOST:PORT，默认端口 9100)</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>查找</translation>
    </message>
    <message>
        <source>List the USB nodes a cutter may be on</source>
        <translation>列出刻字机可能所在的 USB 节点</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>连接</translation>
    </message>
    <message>
        <source>Choose a USB node or type the cutter&apos;s network address</source>
        <translation>请选择 USB 节点或输入刻字机的网络地址</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>断开</translation>
    </message>
    <message>
        <source>USB node %1: %2</source>
        <translation>USB 节点 %1: %2</translation>
    </message>
    <message>
        <source>unknown device</source>
        <translation>未知设备</translation>
    </message>
    <message>
        <source>USB node %1 cannot be opened by this user: %2</source>
        <translation>当前用户无法打开 USB 节点 %1: %2</translation>
    </message>
    <message>
        <source>No USB node found: is the cutter plugged in and switched on? A network address can be typed in.</source>
        <translation>未找到 USB 节点: 刻字机是否已连接并开机? 也可以输入网络地址。</translation>
    </message>
</context>
<context>
    <name>CutOptionsPanel</name>
    <message>
        <source>Size factor; a width or height below takes its place</source>
        <translation>缩放系数; 若指定下方的宽度或高度则以其为准</translation>
    </message>
    <message>
        <source>Scale</source>
        <translation>缩放</translation>
    </message>
    <message>
        <source> mm</source>
        <translation> mm</translation>
    </message>
    <message>
        <source>as drawn</source>
        <translation>按原图</translation>
    </message>
    <message>
        <source>Width × height</source>
        <translation>宽 × 高</translation>
    </message>
    <message>
        <source>%1°</source>
        <translation>%1°</translation>
    </message>
    <message>
        <source>Rotate</source>
        <translation>旋转</translation>
    </message>
    <message>
        <source>Mirror (cut from the back)</source>
        <translation>镜像 (从背面切割)</translation>
    </message>
    <message>
        <source>Origin x, y</source>
        <translation>原点 x, y</translation>
    </message>
    <message>
        <source>none</source>
        <translation>无</translation>
    </message>
    <message>
        <source>A rectangle around the design at this margin, cut last</source>
        <translation>在设计周围按此边距切割一个矩形, 最后切割</translation>
    </message>
    <message>
        <source>Weed box</source>
        <translation>除废框</translation>
    </message>
    <message>
        <source>Closed shapes are cut on past their start by this much</source>
        <translation>闭合图形越过起点多切割此长度</translation>
    </message>
    <message>
        <source>Overcut</source>
        <translation>过切</translation>
    </message>
    <message>
        <source>Drag knife: how far the blade tip trails its axis</source>
        <translation>拖刀: 刀尖落后于刀轴的距离</translation>
    </message>
    <message>
        <source>Tool offset</source>
        <translation>刀具偏移</translation>
    </message>
    <message>
        <source>Keep the drawing&apos;s order</source>
        <translation>保持图形顺序 (不按先内后外、就近排序)</translation>
    </message>
    <message>
        <source>Cut without missing characters</source>
        <translation>跳过缺失字符进行切割</translation>
    </message>
    <message>
        <source>Text with characters no installed font has is cut without them, each named, instead of being refused</source>
        <translation>含有已安装字体中没有的字符的文字不被拒绝，逐一列出这些字符并略去后切割</translation>
    </message>
    <message>
        <source>%1
&quot;Cut without missing characters&quot; cuts the rest.</source>
        <translation>%1
勾选“跳过缺失字符进行切割”即可切割其余部分。</translation>
    </message>
    <message>
        <source>Cut as drawn: no inner shapes first, no nearest next</source>
        <translation>按绘制顺序切割: 不先切内部形状，也不按最近顺序</translation>
    </message>
</context>
<context>
    <name>CutPanel</name>
    <message>
        <source>Start</source>
        <translation>开始</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>暂停</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>Asks the cutter to stop and waits for its confirmation</source>
        <translation>请求刻字机停止并等待其确认</translation>
    </message>
    <message>
        <source>No cut yet</source>
        <translation>尚未切割</translation>
    </message>
    <message>
        <source>Resume</source>
        <translation>继续</translation>
    </message>
    <message>
        <source>Waiting for the cutter to scan a code (jobs in %1)</source>
        <translation>等待刻字机扫描二维码 (任务目录: %1)</translation>
    </message>
    <message>
        <source>Scanned %1: cutting %2</source>
        <translation>已扫描 %1: 正在切割 %2</translation>
    </message>
    <message>
        <source>Page %1 of copy %2 has taken %3x its estimate; still waiting</source>
        <translation>第 %2 份的第 %1 页已用时为估计的 %3 倍; 仍在等待</translation>
    </message>
    <message>
        <source>Copy %1 has taken %2x its estimate; still waiting</source>
        <translation>第 %1 份已用时为估计的 %2 倍; 仍在等待</translation>
    </message>
    <message>
        <source>Stopping: waiting for the cutter to confirm</source>
        <translation>正在停止: 等待刻字机确认</translation>
    </message>
    <message>
        <source>Preparing the job</source>
        <translation>正在准备任务</translation>
    </message>
    <message>
        <source>Cutting %1 page(s), %2 copy(ies); estimate %3</source>
        <translation>正在切割 %1 页, %2 份; 估计 %3</translation>
    </message>
    <message>
        <source>Copy %1 of %2</source>
        <translation>第 %1 份 / 共 %2 份</translation>
    </message>
    <message>
        <source>, waiting for the next scanned code</source>
        <translation>, 等待扫描下一个二维码</translation>
    </message>
    <message>
        <source>, repeated by the cutter</source>
        <translation>, 由刻字机重复</translation>
    </message>
    <message>
        <source>, page %1 of %2</source>
        <translation>, 第 %1 页 / 共 %2 页</translation>
    </message>
    <message>
        <source> (paused)</source>
        <translation> (已暂停)</translation>
    </message>
    <message>
        <source>estimate %1</source>
        <translation>估计 %1</translation>
    </message>
    <message>
        <source>about %1 left</source>
        <translation>约剩 %1</translation>
    </message>
    <message>
        <source>Paused on the cutter</source>
        <translation>刻字机已暂停</translation>
    </message>
    <message>
        <source>Resumed</source>
        <translation>已继续</translation>
    </message>
    <message>
        <source>Finished</source>
        <translation>完成</translation>
    </message>
    <message>
        <source>Ended</source>
        <translation>已结束</translation>
    </message>
    <message>
        <source>Not completed (exit code %1): %2</source>
        <translation>未完成 (退出代码 %1): %2</translation>
    </message>
    <message>
        <source>took %1</source>
        <translation>用时 %1</translation>
    </message>
    <message>
        <source>Fleet service</source>
        <translation>设备群服务</translation>
    </message>
    <message>
        <source>Reports each cut to a fleet service (ktrv8-cloud): the cutter registers, shows its running job and leaves a work record</source>
        <translation>将每次切割报告给设备群服务 (ktrv8-cloud)：切割机注册、显示正在运行的任务并留下工作记录</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>地址</translation>
    </message>
    <message>
        <source>e.g. http://127.0.0.1:8080/ (empty: not reported)</source>
        <translation>例如 http://127.0.0.1:8080/（留空：不报告）</translation>
    </message>
    <message>
        <source>Token</source>
        <translation>令牌</translation>
    </message>
    <message>
        <source>the one ktrv8-cloud printed at start</source>
        <translation>ktrv8-cloud 启动时打印的令牌</translation>
    </message>
    <message>
        <source>Device code</source>
        <translation>设备代码</translation>
    </message>
    <message>
        <source>what this cutter registers as</source>
        <translation>此切割机注册使用的名称</translation>
    </message>
    <message>
        <source>Fleet service: %1; the job was not started</source>
        <translation>设备群服务：%1；任务未开始</translation>
    </message>
    <message>
        <source>Registering with the fleet service at %1</source>
        <translation>正在向 %1 的设备群服务注册</translation>
    </message>
    <message>
        <source>Reporting this job to the fleet service at %1 as %2</source>
        <translation>此任务以 %2 报告给 %1 的设备群服务</translation>
    </message>
    <message>
        <source>Fleet service: %1</source>
        <translation>设备群服务：%1</translation>
    </message>
    <message>
        <source>Cuts what the failed job left: from its first unconfirmed page on</source>
        <translation>切割失败任务剩下的部分: 从第一个未确认的页开始</translation>
    </message>
    <message>
        <source>Not possible: %1</source>
        <translation>无法开始: %1</translation>
    </message>
    <message>
        <source>%1, but not recorded: %2</source>
        <translation>%1，但未记录: %2</translation>
    </message>
    <message>
        <source>; Resume goes on from page %1 of copy %2</source>
        <translation>；“继续”将从第 %2 份的第 %1 页继续</translation>
    </message>
</context>
<context>
    <name>DrawingPartsPanel</name>
    <message>
        <source>Automatic</source>
        <translation>自动</translation>
    </message>
    <message>
        <source>Outlines go round what is darker than this</source>
        <translation>轮廓围绕比此值更暗的部分</translation>
    </message>
    <message>
        <source>Threshold</source>
        <translation>阈值</translation>
    </message>
    <message>
        <source>Layers</source>
        <translation>图层</translation>
    </message>
    <message>
        <source>Colours</source>
        <translation>颜色</translation>
    </message>
    <message numerus="yes">
        <source>%1 (%n path(s))</source>
        <translation>
            <numerusform>%1（%n 条路径）</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>HeadPanel</name>
    <message>
        <source>Steps per press, as &quot;ktrv8 move&quot; takes them</source>
        <translation>每按一次移动的距离（与 &quot;ktrv8 move&quot; 相同）</translation>
    </message>
    <message>
        <source>Set origin here</source>
        <translation>将此处设为原点</translation>
    </message>
    <message>
        <source>Makes the head&apos;s place the cutter&apos;s origin</source>
        <translation>将刀头当前位置设为切割机的原点</translation>
    </message>
    <message>
        <source>This cutter has no command to set its origin: each job starts where the head is</source>
        <translation>此切割机没有设置原点的命令: 每个任务都从刀头所在位置开始</translation>
    </message>
    <message>
        <source>Moved the head by %1, %2</source>
        <translation>刀头已移动 %1, %2</translation>
    </message>
    <message>
        <source>The head&apos;s place is the cutter&apos;s origin now</source>
        <translation>刀头位置现在是切割机的原点</translation>
    </message>
</context>
<context>
    <name>JobPanel</name>
    <message>
        <source>No job open: open a PLT file or a drawing, or drop one on the window</source>
        <translation>未打开任务: 请打开 PLT 文件或图形, 或拖放到窗口中</translation>
    </message>
    <message>
        <source>Open…</source>
        <translation>打开…</translation>
    </message>
    <message>
        <source>Copies</source>
        <translation>份数</translation>
    </message>
    <message>
        <source>Folder of jobs by code</source>
        <translation>按二维码存放任务的目录</translation>
    </message>
    <message>
        <source>Choose…</source>
        <translation>选择…</translation>
    </message>
    <message>
        <source>Jobs folder</source>
        <translation>任务目录</translation>
    </message>
    <message>
        <source>Open a job</source>
        <translation>打开任务</translation>
    </message>
    <message>
        <source>Opened %1: %2 page(s)%3</source>
        <translation>已打开 %1: %2 页%3</translation>
    </message>
    <message>
        <source>, converted from a drawing</source>
        <translation>, 由图形转换</translation>
    </message>
    <message>
        <source>%1 holds no page to cut</source>
        <translation>%1 中没有可切割的页面</translation>
    </message>
    <message>
        <source>Refused: %1</source>
        <translation>已拒绝: %1</translation>
    </message>
    <message>
        <source>Refused %1: %2</source>
        <translation>已拒绝 %1: %2</translation>
    </message>
    <message>
        <source>QR-code job</source>
        <translation>二维码任务</translation>
    </message>
    <message>
        <source>The cutter scans a code before each copy; the job cut is FOLDER/CODE.plt</source>
        <translation>刻字机在每份之前扫描二维码, 切割 目录/二维码.plt</translation>
    </message>
    <message>
        <source>reading</source>
        <translation>读取</translation>
    </message>
    <message>
        <source>ordering</source>
        <translation>排序</translation>
    </message>
    <message>
        <source>writing</source>
        <translation>写出</translation>
    </message>
    <message>
        <source>Converting: %1 %p%</source>
        <translation>正在转换: %1 %p%</translation>
    </message>
    <message>
        <source>The designs laid out together on the material</source>
        <translation>一起排布在材料上的图案</translation>
    </message>
    <message>
        <source>Add…</source>
        <translation>添加…</translation>
    </message>
    <message>
        <source>Adds drawings or PLT jobs to cut on the same material</source>
        <translation>添加要在同一材料上切割的图形或 PLT 任务</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>移除</translation>
    </message>
    <message>
        <source>%1 files on one material</source>
        <translation>一块材料上的 %1 个文件</translation>
    </message>
    <message>
        <source>Add designs to the material</source>
        <translation>向材料添加图案</translation>
    </message>
    <message>
        <source>Jobs (*.plt *.hpgl *.svg *.svgz *.pdf *.dxf *.png *.jpg *.jpeg *.bmp *.tif *.tiff);;All files (*)</source>
        <translation>任务 (*.plt *.hpgl *.svg *.svgz *.pdf *.dxf *.png *.jpg *.jpeg *.bmp *.tif *.tiff);;所有文件 (*)</translation>
    </message>
</context>
<context>
    <name>JobSummary</name>
    <message>
        <source>No job</source>
        <translation>没有任务</translation>
    </message>
    <message>
        <source>at %1 mm/s</source>
        <translation>按 %1 mm/s</translation>
    </message>
    <message>
        <source>at 100 mm/s until the cutter&apos;s speed is read</source>
        <translation>读取切割机速度之前按 100 mm/s</translation>
    </message>
    <message>
        <source>%1 × %2 mm, %3 page(s), %4 copy(ies)
Cut %5 m, pen up %6 m
About %7 %8</source>
        <translation>%1 × %2 mm，%3 页，%4 份
切割 %5 m，抬刀移动 %6 m
约 %7（%8）</translation>
    </message>
    <message>
        <source>%1 mm of its length used by one copy</source>
        <translation>每份使用长度 %1 mm</translation>
    </message>
    <message>
        <source>%1 mm of its length used</source>
        <translation>使用长度 %1 mm</translation>
    </message>
    <message>
        <source>On a %1 × %2 mm sheet</source>
        <translation>%1 × %2 mm 的单张材料</translation>
    </message>
    <message>
        <source>On a %1 mm wide roll</source>
        <translation>宽 %1 mm 的卷材</translation>
    </message>
    <message>
        <source>Refused, Start is off: %1</source>
        <translation>已拒绝，无法开始: %1</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>KT-RV8 cutter</source>
        <translation>KT-RV8 刻字机</translation>
    </message>
    <message>
        <source>Connection</source>
        <translation>连接</translation>
    </message>
    <message>
        <source>Job</source>
        <translation>任务</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Log</source>
        <translation>日志</translation>
    </message>
    <message>
        <source>Scanned QR code: %1</source>
        <translation>已扫描二维码: %1</translation>
    </message>
    <message>
        <source>Connecting to %1</source>
        <translation>正在连接 %1</translation>
    </message>
    <message>
        <source>Disconnected from %1</source>
        <translation>已与 %1 断开</translation>
    </message>
    <message>
        <source>Driver: %1</source>
        <translation>驱动: %1</translation>
    </message>
    <message>
        <source>Driver: task %1</source>
        <translation>驱动: 任务 %1</translation>
    </message>
    <message>
        <source>No driver</source>
        <translation>无驱动</translation>
    </message>
    <message>
        <source>Connecting to %1…</source>
        <translation>正在连接 %1…</translation>
    </message>
    <message>
        <source>Not connected</source>
        <translation>未连接</translation>
    </message>
    <message>
        <source>disconnected</source>
        <translation>已断开</translation>
    </message>
    <message>
        <source>idle</source>
        <translation>空闲</translation>
    </message>
    <message>
        <source>ready</source>
        <translation>就绪</translation>
    </message>
    <message>
        <source>paused</source>
        <translation>已暂停</translation>
    </message>
    <message>
        <source>warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Connected to %1 (%2)</source>
        <translation>已连接 %1 (%2)</translation>
    </message>
    <message>
        <source>cannot save the screenshot to %1</source>
        <translation>无法将截图保存到 %1</translation>
    </message>
    <message>
        <source>Connected to %1 (paused: %2)</source>
        <translation>已连接到 %1 (已暂停: %2)</translation>
    </message>
    <message>
        <source>Connected to %1 (cutting: %2)</source>
        <translation>已连接到 %1 (正在切割: %2)</translation>
    </message>
    <message>
        <source>Preferences…</source>
        <translation>首选项…</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>文字</translation>
    </message>
    <message>
        <source>File and copies</source>
        <translation>文件和份数</translation>
    </message>
    <message>
        <source>Material and layout</source>
        <translation>材料和排布</translation>
    </message>
    <message>
        <source>Cutter options (drawings)</source>
        <translation>切割选项 (图形)</translation>
    </message>
    <message>
        <source>Tool head</source>
        <translation>刀头</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>首选项</translation>
    </message>
</context>
<context>
    <name>SettingsPanel</name>
    <message>
        <source>Read</source>
        <translation>读取</translation>
    </message>
    <message>
        <source>Read every setting from the cutter</source>
        <translation>从刻字机读取所有设置</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>应用</translation>
    </message>
    <message>
        <source>Write the changed settings, then read them back from the cutter</source>
        <translation>写入已更改的设置, 然后从刻字机读回</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>设备</translation>
    </message>
    <message>
        <source>no answer from the cutter</source>
        <translation>刻字机无应答</translation>
    </message>
    <message>
        <source>Settings: the cutter did not answer</source>
        <translation>设置: 刻字机未应答</translation>
    </message>
    <message>
        <source>Settings read; no value for %1</source>
        <translation>已读取设置; %1 无值</translation>
    </message>
    <message>
        <source>Settings read from the cutter</source>
        <translation>已从刻字机读取设置</translation>
    </message>
    <message>
        <source>Settings: nothing changed to apply</source>
        <translation>设置: 没有需要应用的更改</translation>
    </message>
    <message>
        <source>not confirmed: no answer from the cutter</source>
        <translation>未确认: 刻字机无应答</translation>
    </message>
    <message>
        <source>refused by the cutter, which keeps %1 (asked %2)</source>
        <translation>刻字机拒绝, 保持 %1 (请求 %2)</translation>
    </message>
    <message>
        <source>not applied: the cutter keeps %1 (asked %2)</source>
        <translation>未生效: 刻字机保持 %1 (请求 %2)</translation>
    </message>
    <message>
        <source>Settings applied: %1</source>
        <translation>已应用设置: %1</translation>
    </message>
    <message>
        <source>Settings not taken by the cutter: %1</source>
        <translation>刻字机未接受的设置: %1</translation>
    </message>
    <message>
        <source>Not while a number is out of range: %1</source>
        <translation>有数值超出范围: %1</translation>
    </message>
    <message>
        <source>out of range: type a number from %1</source>
        <translation>超出范围: 请输入 %1 之间的数</translation>
    </message>
    <message>
        <source>Settings: nothing applied, a number is out of range</source>
        <translation>设置: 有数值超出范围, 未应用</translation>
    </message>
</context>
<context>
    <name>SheetOverlay</name>
    <message>
        <source>Copy %1, page %2</source>
        <translation>第 %1 份 第 %2 页</translation>
    </message>
    <message>
        <source>Page %1</source>
        <translation>第 %1 页</translation>
    </message>
</context>
<context>
    <name>SheetPanel</name>
    <message>
        <source> mm</source>
        <translation> mm</translation>
    </message>
    <message>
        <source>The cutter&apos;s loaded material</source>
        <translation>切割机已装入的材料</translation>
    </message>
    <message>
        <source>The material kept for this cutter in the settings file, as ktrv8 uses it</source>
        <translation>设置文件中为此切割机保存的材料（与 ktrv8 相同）</translation>
    </message>
    <message>
        <source>Keep for this cutter</source>
        <translation>为此切割机保存</translation>
    </message>
    <message>
        <source>any</source>
        <translation>不限</translation>
    </message>
    <message>
        <source>Material width</source>
        <translation>材料宽度</translation>
    </message>
    <message>
        <source>a roll</source>
        <translation>卷材</translation>
    </message>
    <message>
        <source>Material length</source>
        <translation>材料长度</translation>
    </message>
    <message>
        <source>How many of each design go on the material</source>
        <translation>每个图案在材料上放置的数量</translation>
    </message>
    <message>
        <source>Of each design</source>
        <translation>每个图案的数量</translation>
    </message>
    <message>
        <source>In rows</source>
        <translation>按行排列</translation>
    </message>
    <message>
        <source>Arrangement</source>
        <translation>排布方式</translation>
    </message>
    <message>
        <source>Gap between designs</source>
        <translation>图案间距</translation>
    </message>
    <message>
        <source>any cutter</source>
        <translation>任意切割机</translation>
    </message>
    <message>
        <source>Kept for %1: %2</source>
        <translation>已为 %1 保存: %2</translation>
    </message>
    <message>
        <source>No material kept for %1</source>
        <translation>未为 %1 保存材料</translation>
    </message>
    <message>
        <source>Scale down to fit</source>
        <translation>缩小以适合</translation>
    </message>
    <message>
        <source>A job too big for the material is scaled down to fit rather than refused</source>
        <translation>超出材料的任务将缩小以适合，而不是被拒绝</translation>
    </message>
    <message>
        <source>Nested</source>
        <translation>嵌套排料</translation>
    </message>
    <message>
        <source>Nested: outlines packed against each other, turned by quarter turns where that takes less material</source>
        <translation>嵌套排料：轮廓紧密排布，更省材料时按 90 度旋转</translation>
    </message>
</context>
<context>
    <name>TextTool</name>
    <message>
        <source>Type the text to cut; each line is cut as a line</source>
        <translation>输入要切割的文字；每一行按一行切割</translation>
    </message>
    <message>
        <source>Cut text</source>
        <translation>切割文字</translation>
    </message>
    <message>
        <source>Font</source>
        <translation>字体</translation>
    </message>
    <message>
        <source>Bold</source>
        <translation>粗体</translation>
    </message>
    <message>
        <source>Italic</source>
        <translation>斜体</translation>
    </message>
    <message>
        <source> mm</source>
        <translation> mm</translation>
    </message>
    <message>
        <source>Capital height</source>
        <translation>大写字母高度</translation>
    </message>
    <message>
        <source>Left</source>
        <translation>左对齐</translation>
    </message>
    <message>
        <source>Centre</source>
        <translation>居中</translation>
    </message>
    <message>
        <source>Right</source>
        <translation>右对齐</translation>
    </message>
    <message>
        <source>Alignment</source>
        <translation>对齐</translation>
    </message>
    <message>
        <source>Weld touching letters into one outline</source>
        <translation>将相接的字母焊接为一个轮廓</translation>
    </message>
    <message>
        <source>A cut is running: the text becomes the job when it ends</source>
        <translation>正在切割: 结束后此文字将成为任务</translation>
    </message>
    <message>
        <source>Not cut: %1</source>
        <translation>不切割: %1</translation>
    </message>
    <message>
        <source>Cannot write the lettering for the job: %1</source>
        <translation>无法写出任务用的文字: %1</translation>
    </message>
    <message>
        <source>%1 x %2 mm in %3</source>
        <translation>%1 x %2 mm（%3）</translation>
    </message>
</context>
<context>
    <name>PreviewView</name>
    <message>
        <source>Drawing the preview...</source>
        <translation>正在绘制预览...</translation>
    </message>
    <message>
        <source>Preparing the preview...</source>
        <translation>正在准备预览...</translation>
    </message>
</context>
</TS>
