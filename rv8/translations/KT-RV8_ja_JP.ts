<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP" sourcelanguage="zh_CN">
<context>
    <name>KTCommonInterface</name>
    <message>
        <location filename="../../link/ktcommoninterface.cpp" line="75"/>
        <source>USB 地址</source>
        <translation>USBアドレス</translation>
    </message>
    <message>
        <location filename="../../link/ktcommoninterface.cpp" line="82"/>
        <source>IP 地址</source>
        <translation>IPアドレス</translation>
    </message>
    <message>
        <location filename="../../link/replydecoding.cpp" line="164"/>
        <source>当前任务</source>
        <translation>現在のタスク</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="41"/>
        <location filename="../../panels/family437.cpp" line="30"/>
        <source>状态</source>
        <translation>状態</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="42"/>
        <location filename="../../panels/family437.cpp" line="32"/>
        <source>端口</source>
        <translation>ポート</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="43"/>
        <location filename="../../panels/family437.cpp" line="44"/>
        <source>连接方式</source>
        <translation>接続方式</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="44"/>
        <location filename="../../panels/family157.cpp" line="46"/>
        <location filename="../../panels/family437.cpp" line="37"/>
        <source>份数</source>
        <translation>部数</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="44"/>
        <location filename="../../panels/family157.cpp" line="46"/>
        <location filename="../../panels/family437.cpp" line="37"/>
        <source>份</source>
        <translation>部</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="45"/>
        <location filename="../../panels/family437.cpp" line="36"/>
        <source>二维码文件</source>
        <translation>QRコードファイル</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="47"/>
        <source>plt</source>
        <translation>PLTジョブ</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="48"/>
        <location filename="../../panels/family437.cpp" line="39"/>
        <source>停止</source>
        <translation>停止</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="49"/>
        <location filename="../../panels/family437.cpp" line="40"/>
        <source>暂停</source>
        <translation>一時停止</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="50"/>
        <location filename="../../panels/family437.cpp" line="41"/>
        <source>继续</source>
        <translation>再開</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="51"/>
        <source>QR PLT</source>
        <translation>QR PLTジョブ</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="52"/>
        <source>设原点</source>
        <translation>原点設定</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="53"/>
        <source>回原点</source>
        <translation>原点復帰</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="54"/>
        <location filename="../../panels/family437.cpp" line="42"/>
        <source>任务模式</source>
        <translation>タスクモード</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="56"/>
        <source>心跳</source>
        <translation>ハートビート</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="56"/>
        <source>秒</source>
        <translation>秒</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="57"/>
        <location filename="../../panels/family437.cpp" line="33"/>
        <source>预览</source>
        <translation>プレビュー</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="58"/>
        <location filename="../../panels/family437.cpp" line="34"/>
        <source>工作文件</source>
        <translation>作業ファイル</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="59"/>
        <location filename="../../panels/family437.cpp" line="46"/>
        <source>切割质量</source>
        <translation>カット品質</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="61"/>
        <location filename="../../panels/family437.cpp" line="48"/>
        <source>   速度优先</source>
        <translation>   速度優先</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="62"/>
        <location filename="../../panels/family437.cpp" line="48"/>
        <source>   平衡</source>
        <translation>   バランス</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="63"/>
        <location filename="../../panels/family437.cpp" line="48"/>
        <source>   精度优先</source>
        <translation>   精度優先</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="64"/>
        <source>PU 速度</source>
        <translation>ペンアップ速度</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="66"/>
        <location filename="../../panels/family437.cpp" line="45"/>
        <source>数据上传</source>
        <translation>データアップロード</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="78"/>
        <location filename="../../panels/family437.cpp" line="57"/>
        <source>固件版本</source>
        <translation>ファームウェアバージョン</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="79"/>
        <location filename="../../panels/family437.cpp" line="58"/>
        <source>机器编号</source>
        <translation>機器番号</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="80"/>
        <location filename="../../panels/family437.cpp" line="59"/>
        <source>PCB编号</source>
        <translation>PCB番号</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="81"/>
        <location filename="../../panels/family437.cpp" line="60"/>
        <source>PCB版本</source>
        <translation>PCBバージョン</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="82"/>
        <source>配置号</source>
        <translation>構成番号</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="83"/>
        <source>Unique ID</source>
        <translation>固有ID</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="84"/>
        <source>型号</source>
        <translation>型番</translation>
    </message>
    <message>
        <location filename="../../panels/family157.cpp" line="85"/>
        <source>机器信息</source>
        <translation>機器情報</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="35"/>
        <source>自动送料</source>
        <translation>自動送り</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="37"/>
        <source>   关</source>
        <translation>   オフ</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="38"/>
        <source>   开</source>
        <translation>   オン</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="39"/>
        <source>送料模式</source>
        <translation>送りモード</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="41"/>
        <source>   同步送料</source>
        <translation>   同期送り</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="42"/>
        <source>   异步送料</source>
        <translation>   非同期送り</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="43"/>
        <source>送料距离</source>
        <translation>送り距離</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="44"/>
        <source>横梁中心距离</source>
        <translation>ビーム中心距離</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="45"/>
        <source>气泵延时</source>
        <translation>エアポンプ遅延</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="47"/>
        <source>送料速度</source>
        <translation>送り速度</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="48"/>
        <source>送料</source>
        <translation>送り</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="58"/>
        <location filename="../../panels/family157groups.cpp" line="78"/>
        <source>工具类型</source>
        <translation>ツールの種類</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="60"/>
        <source>  拖刀</source>
        <translation>  ドラッグナイフ</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="61"/>
        <source>  转刀</source>
        <translation>  ロータリーナイフ</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="62"/>
        <location filename="../../panels/family157groups.cpp" line="76"/>
        <source>速度</source>
        <translation>速度</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="63"/>
        <location filename="../../panels/family157groups.cpp" line="77"/>
        <source>压力</source>
        <translation>圧力</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="64"/>
        <location filename="../../panels/family157groups.cpp" line="82"/>
        <source>转刀校准</source>
        <translation>ロータリーナイフ校正</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="65"/>
        <source>SP1</source>
        <translation>SP1</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="80"/>
        <source>拖刀</source>
        <translation>ドラッグナイフ</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="81"/>
        <source>转刀</source>
        <translation>ロータリーナイフ</translation>
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
        <translation>ツールオフセット</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="109"/>
        <location filename="../../panels/family437.cpp" line="72"/>
        <source>摄像头偏移</source>
        <translation>カメラオフセット</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="111"/>
        <source>出厂设置</source>
        <translation>工場出荷時設定</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="122"/>
        <location filename="../../panels/family437.cpp" line="86"/>
        <source>缩放</source>
        <translation>スケール</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="134"/>
        <location filename="../../panels/family437.cpp" line="98"/>
        <source>幅宽</source>
        <translation>作業幅</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="145"/>
        <source>X 移动</source>
        <translation>X移動</translation>
    </message>
    <message>
        <location filename="../../panels/family157groups.cpp" line="146"/>
        <source>Y 移动</source>
        <translation>Y移動</translation>
    </message>
    <message>
        <location filename="../../panels/family437.cpp" line="31"/>
        <source>电机状态</source>
        <translation>モーター状態</translation>
    </message>
    <message>
        <location filename="../../panels/family437.cpp" line="35"/>
        <source>获取二维码</source>
        <translation>QRコード取得</translation>
    </message>
    <message>
        <location filename="../../panels/family437.cpp" line="38"/>
        <source>pplt</source>
        <translation>PPLTジョブ</translation>
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
        <translation>スケール</translation>
    </message>
    <message>
        <location filename="../ktrv8.cpp" line="53"/>
        <source>当前任务</source>
        <translation>現在のタスク</translation>
    </message>
    <message>
        <location filename="../ktrv8.cpp" line="70"/>
        <source>摄像头偏移</source>
        <translation>カメラオフセット</translation>
    </message>
    <message>
        <location filename="../ktrv8.cpp" line="73"/>
        <source>速度</source>
        <translation>速度</translation>
    </message>
    <message>
        <location filename="../ktrv8.cpp" line="75"/>
        <source>单张多份间隔</source>
        <translation>コピー間の間隔</translation>
    </message>
    <message>
        <location filename="../ktrv8.cpp" line="77"/>
        <source>压力</source>
        <translation>圧力</translation>
    </message>
    <message>
        <location filename="../ktrv8.cpp" line="85"/>
        <source>迷你刻字机</source>
        <translation>ミニ文字カッター</translation>
    </message>
    <message>
        <location filename="../ktrv8.cpp" line="88"/>
        <source>型号</source>
        <translation>型番</translation>
    </message>
    <message>
        <location filename="../ktrv8.cpp" line="90"/>
        <source>名称</source>
        <translation>名称</translation>
    </message>
    <message>
        <location filename="../ktrv8.cpp" line="92"/>
        <source>移动</source>
        <translation>移動</translation>
    </message>
    <message>
        <location filename="../ktrv8.cpp" line="94"/>
        <source>重复上次</source>
        <translation>前回のジョブを繰り返す</translation>
    </message>
    <message>
        <location filename="../ktrv8.cpp" line="96"/>
        <source>设置WIFI</source>
        <translation>Wi-Fi設定</translation>
    </message>
    <message>
        <location filename="../ktrv8.cpp" line="98"/>
        <source>设置标记点类型</source>
        <translation>トンボの種類を設定</translation>
    </message>
</context>
</TS>
