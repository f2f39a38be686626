<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>DriverStatus</name>
    <message>
        <source>USB CONNECTED.</source>
        <translation>USB 已连接。</translation>
    </message>
    <message>
        <source>USB ERROR.</source>
        <translation>USB 错误。</translation>
    </message>
    <message>
        <source>USB DISCONNECTED.</source>
        <translation>USB 已断开。</translation>
    </message>
    <message>
        <source>TCP CONNECTED.</source>
        <translation>TCP 已连接。</translation>
    </message>
    <message>
        <source>TCP DISCONNECTED.</source>
        <translation>TCP 已断开。</translation>
    </message>
    <message>
        <source>HEARTBEAT TIMEOUT 30S.</source>
        <translation>心跳超时 30 秒。</translation>
    </message>
    <message>
        <source>WEB SOCKET CONNECTED.</source>
        <translation>WebSocket 已连接。</translation>
    </message>
    <message>
        <source>WEB SOCKET DISCONNECTED.</source>
        <translation>WebSocket 已断开。</translation>
    </message>
    <message>
        <source>WEB SOCKET ERROR.</source>
        <translation>WebSocket 错误。</translation>
    </message>
</context>
<context>
    <name>JobRunner</name>
    <message>
        <source>%1 copy</source>
        <translation>%1 份</translation>
    </message>
    <message>
        <source>%1 copies</source>
        <translation>%1 份</translation>
    </message>
    <message>
        <source>the cutter did not confirm the stop</source>
        <translation>刻字机未确认停止</translation>
    </message>
    <message>
        <source>the connection was lost before the job started; nothing was cut%1</source>
        <translation>任务开始前连接已断开；未进行任何切割%1</translation>
    </message>
    <message>
        <source>the cutter did not answer within %1 s; nothing was cut</source>
        <translation>刻字机在 %1 秒内无应答；未进行任何切割</translation>
    </message>
    <message>
        <source>stopped before the job started; nothing was sent to cut</source>
        <translation>任务开始前已停止；未发送任何切割内容</translation>
    </message>
    <message>
        <source>stopped without waiting for the cutter</source>
        <translation>未等待刻字机即已停止</translation>
    </message>
    <message>
        <source>stopped; this driver cannot stop the cutter</source>
        <translation>已停止；此驱动无法停止刻字机</translation>
    </message>
    <message>
        <source>the cutter stopped the job itself</source>
        <translation>刻字机自行停止了任务</translation>
    </message>
    <message>
        <source>stopped by the user</source>
        <translation>已由用户停止</translation>
    </message>
    <message>
        <source>done: %1 of %2 page(s) cut</source>
        <translation>完成：%2 页已切割 %1</translation>
    </message>
    <message>
        <source>done: %1 cut, one per scanned code</source>
        <translation>完成：已切割 %1（每个扫描码一份）</translation>
    </message>
    <message>
        <source>the cutter scanned the code &quot;%1&quot;, which has no job (%2 not found)</source>
        <translation>刻字机扫描到代码“%1”，但没有对应的任务（未找到 %2）</translation>
    </message>
    <message>
        <source>not a file name</source>
        <translation>不是文件名</translation>
    </message>
    <message>
        <source>the connection was lost (%1)</source>
        <translation>连接已断开（%1）</translation>
    </message>
    <message>
        <source>no progress for %1 s (--timeout)</source>
        <translation>%1 秒无进展（--timeout）</translation>
    </message>
    <message>
        <source>confirmed: %1 of %2</source>
        <translation>已确认：%2 中的 %1 份</translation>
    </message>
    <message>
        <source>, and %1 of %2 page(s) of copy %3</source>
        <translation>，以及第 %3 份 %2 页中的 %1 页</translation>
    </message>
</context>
<context>
    <name>CutterConnection</name>
    <message>
        <source>the driver refused to connect to %1</source>
        <translation>驱动拒绝连接到 %1</translation>
    </message>
    <message>
        <source>cannot open %1 (%2)</source>
        <translation>无法打开 %1（%2）</translation>
    </message>
    <message>
        <source>%1 did not open within %2 s</source>
        <translation>%1 未在 %2 秒内打开</translation>
    </message>
    <message>
        <source>connection refused by %1: is the cutter switched on, on the network, and is the port right?</source>
        <translation>%1 拒绝了连接：刻字机是否已开机、已接入网络，端口是否正确？</translation>
    </message>
    <message>
        <source>host %1 not found: check the address</source>
        <translation>找不到主机 %1：请检查地址</translation>
    </message>
    <message>
        <source>no answer from %1: is the cutter on the network?</source>
        <translation>%1 无应答：刻字机是否已接入网络？</translation>
    </message>
    <message>
        <source>cannot connect to %1: %2</source>
        <translation>无法连接到 %1：%2</translation>
    </message>
    <message>
        <source>the cutter serves one program at a time; is another one connected to it?</source>
        <translation>刻字机一次只服务一个程序；是否有其他程序已连接？</translation>
    </message>
    <message>
        <source> (closed by the cutter before it answered: %1)</source>
        <translation>（刻字机在应答前关闭了连接：%1）</translation>
    </message>
    <message>
        <source>%1 closed the connection at once: %2</source>
        <translation>%1 立即关闭了连接：%2</translation>
    </message>
</context>
<context>
    <name>JobReport</name>
    <message>
        <source>Reading job %1</source>
        <translation>正在读取任务 %1</translation>
    </message>
    <message>
        <source>Cutting %1%2: %3 page(s), %4, about %5 (estimate)</source>
        <translation>正在切割 %1%2：%3 页，%4，约 %5（估计）</translation>
    </message>
    <message>
        <source> from page %1 of copy %2</source>
        <translation>（从第 %2 份第 %1 页起）</translation>
    </message>
    <message>
        <source>QR-code job from %1, %2: waiting for the cutter to scan</source>
        <translation>来自 %1 的二维码任务，%2：等待刻字机扫描</translation>
    </message>
    <message>
        <source>Scanned %1: cutting %2</source>
        <translation>已扫描 %1：正在切割 %2</translation>
    </message>
    <message>
        <source>page %1</source>
        <translation>第 %1 页</translation>
    </message>
    <message>
        <source>copy %1</source>
        <translation>第 %1 份</translation>
    </message>
    <message>
        <source>%1 has taken %2x its estimate; still waiting, Ctrl-C stops the cutter</source>
        <translation>%1 已用时为估计的 %2 倍；仍在等待，Ctrl-C 可停止刻字机</translation>
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
        <source>Stopping: waiting for the cutter to confirm (Ctrl-C again to leave at once)</source>
        <translation>正在停止：等待刻字机确认（再按 Ctrl-C 立即退出）</translation>
    </message>
    <message>
        <source>; to go on from page %1 of copy %2: %3</source>
        <translation>；要从第 %2 份第 %1 页继续：%3</translation>
    </message>
    <message>
        <source>copy %1/%2</source>
        <translation>第 %1/%2 份</translation>
    </message>
    <message>
        <source>, page %1/%2</source>
        <translation>，第 %1/%2 页</translation>
    </message>
    <message>
        <source>, waiting for the next scanned code</source>
        <translation>，等待下一个扫描码</translation>
    </message>
    <message>
        <source>, repeated by the cutter</source>
        <translation>，由刻字机重复</translation>
    </message>
    <message>
        <source>, %1 left</source>
        <translation>，剩余 %1</translation>
    </message>
    <message>
        <source> (estimate)</source>
        <translation>（估计）</translation>
    </message>
    <message>
        <source>  PAUSED (space or p resumes)</source>
        <translation>  已暂停（空格或 p 继续）</translation>
    </message>
    <message>
        <source>progress %1% %2</source>
        <translation>进度 %1% %2</translation>
    </message>
</context>
</TS>
